#include <device/reglementappareil.h>

#include <QTest>

// What a run makes of the one close it sends to settle the invoices that dead runs left on its
// device. Rows are written "REF:state:opened:paid" (times as small numbers, "-" for never), the
// decisions "REF=sorte" in the order the close is thought of.
class TestReglementAppareil : public QObject
{
    Q_OBJECT

private slots:
    void decisions_data();
    void decisions();
};

namespace {

QList<LigneJournal> lignes(const QStringList &textes)
{
    QList<LigneJournal> l;
    for (const QString &t : textes) {
        const QStringList c = t.split(':');
        LigneJournal ligne;
        ligne.reference = c.at(0);
        ligne.etat = *etatDepuisNom(c.at(1));
        auto temps = [](const QString &v) {
            return v == QStringLiteral("-") ? QString() : QStringLiteral("2026-12-09T10:00:0%1.000Z").arg(v);
        };
        ligne.ouverture = temps(c.at(2));
        ligne.paiement = temps(c.at(3));
        ligne.cree = QStringLiteral("2026-12-09T09:00:00.000Z");
        l << ligne;
    }
    return l;
}

Fermeture fermeture(const QString &issue)
{
    Fermeture f;
    if (issue == QStringLiteral("validee")) {
        f.issue = Fermeture::Validee;
        f.resultat = ResultatFiscal{"F;NIM;SIG;IFU;D", "9", "SIG", "NIM", "8/9 FV", "D"};
    } else if (issue == QStringLiteral("annulee")) {
        f.issue = Fermeture::Annulee;
    }
    return f;
}

QString nomSorte(DecisionReglement::Sorte s)
{
    switch (s) {
    case DecisionReglement::Sorte::Enregistrer:
        return QStringLiteral("enregistrer");
    case DecisionReglement::Sorte::Liberer:
        return QStringLiteral("liberer");
    case DecisionReglement::Sorte::Bloquer:
        return QStringLiteral("bloquer");
    case DecisionReglement::Sorte::Laisser:
        break;
    }
    return QStringLiteral("laisser");
}

} // namespace

void TestReglementAppareil::decisions_data()
{
    QTest::addColumn<QStringList>("lignes");
    QTest::addColumn<QString>("fermeture"); // validee, annulee, refus, muet
    QTest::addColumn<QString>("decisions");
    QTest::addColumn<bool>("inexpliquee");

    const QString fe = QStringLiteral("fermeture envoyee");
    const QString op = QStringLiteral("abandonnee par l'operateur");
    QTest::newRow("close never arrived: validated, recorded under its reference")
        << QStringList{"A:" + fe + ":1:1"} << "validee"
        << "A=enregistrer" << false;
    QTest::newRow("close had arrived: refused, codes lost, waits for the operator")
        << QStringList{"A:" + fe + ":1:1"} << "refus"
        << "A=bloquer" << false;
    QTest::newRow("payment had not taken: cancelled, released")
        << QStringList{"A:" + fe + ":1:1"} << "annulee"
        << "A=liberer" << false;
    QTest::newRow("device silent: nothing learnt")
        << QStringList{"A:" + fe + ":1:1", "B:ouverte:2:-"} << "muet"
        << "B=laisser A=laisser" << false;
    QTest::newRow("paid and left: validated") << QStringList{"A:payee:1:1"} << "validee"
                                              << "A=enregistrer" << false;
    QTest::newRow("paid and refused: someone closed it, outcome unknown")
        << QStringList{"A:payee:1:1"} << "refus"
        << "A=bloquer" << false;
    QTest::newRow("opened, never paid: a validation is not its own")
        << QStringList{"A:ouverte:1:-"} << "validee"
        << "A=liberer" << true;
    QTest::newRow("opened, never paid: cancelled") << QStringList{"A:ouverte:1:-"} << "annulee"
                                                   << "A=liberer" << false;
    // The last invoice opened is the only one the device can hold: the validation is the latest
    // paid one's, whatever order the rows were claimed in.
    QTest::newRow("two closes sent: the validation is the one opened last")
        << QStringList{"A:" + fe + ":2:2", "B:" + fe + ":5:5"} << "validee"
        << "B=enregistrer A=bloquer" << false;
    QTest::newRow("paid one opened after an unpaid one")
        << QStringList{"A:ouverte:1:-", "B:payee:3:3"} << "validee"
        << "B=enregistrer A=liberer" << false;
    // An unpaid invoice opened after the paid one may be the one cancelled: the paid one's
    // outcome is then unknown.
    QTest::newRow("cancelled with an unpaid one opened later")
        << QStringList{"A:" + fe + ":1:1", "B:ouverte:4:-"} << "annulee"
        << "B=liberer A=bloquer" << false;
    QTest::newRow("validated with an unpaid one opened later (its opening never reached the device)")
        << QStringList{"A:" + fe + ":1:1", "B:ouverte:4:-"} << "validee"
        << "B=liberer A=enregistrer" << false;
    QTest::newRow("released by the operator while open and paid: validated, recorded")
        << QStringList{"A:" + op + ":1:1"} << "validee"
        << "A=enregistrer" << false;
    QTest::newRow("released by the operator, device clean: stays released")
        << QStringList{"A:" + op + ":1:1"} << "refus"
        << "A=liberer" << false;
    QTest::newRow("released by the operator, never paid: a validation is not its own")
        << QStringList{"A:" + op + ":1:-"} << "validee"
        << "A=liberer" << true;
    QTest::newRow("row of an earlier version without times comes last")
        << QStringList{"A:" + fe + ":-:-", "B:payee:2:2"} << "validee"
        << "B=enregistrer A=bloquer" << false;
}

void TestReglementAppareil::decisions()
{
    QFETCH(QStringList, lignes);
    QFETCH(QString, fermeture);
    QFETCH(QString, decisions);
    QFETCH(bool, inexpliquee);

    std::optional<ResultatFiscal> sansReference;
    const QList<DecisionReglement> d = reglerApresFermeture(
        ::lignes(lignes), ::fermeture(fermeture), fermeture == QStringLiteral("muet"), sansReference);
    QStringList obtenues;
    for (const DecisionReglement &x : d) {
        obtenues << x.ligne.reference + "=" + nomSorte(x.sorte);
        // Only a row recorded carries the result, and it is the close's.
        QCOMPARE(x.resultat.has_value(), x.sorte == DecisionReglement::Sorte::Enregistrer);
        if (x.resultat)
            QCOMPARE(x.resultat->mecef_compt, QString("8/9 FV"));
    }
    QCOMPARE(obtenues.join(' '), decisions);
    QCOMPARE(sansReference.has_value(), inexpliquee);
}

QTEST_GUILESS_MAIN(TestReglementAppareil)
#include "tst_reglementappareil.moc"
