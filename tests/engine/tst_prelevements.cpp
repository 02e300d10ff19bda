#include "boutenbout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace boutenbout;

// End to end, the withholding of every code in both countries and the Niger tax-exclusive prices:
// the real engine certifies on the device simulator and on the e-MCF double, each computing its own
// total, and the renderer run by hand prints the same withholding. The rates: AIB1 1 %, AIB5 5 %,
// C and D 0 % everywhere; A and B are the country's groups, AIB A 1 % and B 5 % in Bénin, ISB A 2 %
// and B 5 % in Niger (common/totaux.h).
class Prelevements : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parCode_data();
    void parCode();
    void nigerHorsTaxe_data();
    void nigerHorsTaxe();

private:
    CertificatLocal m_certificat;
};

namespace {

// The number in `console` after `debut`, on its line; NaN when there is none.
double nombreApres(const QString &console, const QString &debut)
{
    const QRegularExpression motif(QRegularExpression::escape(debut) + QStringLiteral("([-0-9.]+)"));
    const QRegularExpressionMatch m = motif.match(console);
    bool ok = false;
    const double v = m.hasMatch() ? m.captured(1).toDouble(&ok) : 0;
    return ok ? v : qQNaN();
}

// What one certification showed.
struct Issue
{
    Deroulement deroulement;
    double totalCalcule = qQNaN(); // the device's subtotal, or the total of the service's reply
    QString codeEnvoye;            // the levy code of the e-MCF submission
    QStringList methodes;          // e-MCF requests, methods only
};

// Certifies `lignes` (reference in the first field) in `installation` on the path `chemin`.
Issue certifier(Installation &installation, const CertificatLocal &certificat, const QString &pays,
                const QString &chemin, const QStringList &lignes)
{
    Issue issue;
    const QString reference = lignes.first().section(QLatin1Char(';'), 0, 0);
    const QString nom = reference + QStringLiteral(".csv");
    if (!installation.ecrire(nom, lignes.join(QLatin1Char('\n')) + QLatin1Char('\n')))
        return issue;
    issue.deroulement = certifierSur(installation, certificat, pays, chemin, nom);
    const Deroulement &d = issue.deroulement;
    if (chemin == appareil) {
        // A subtotal that differed from the engine's total is no computed total of the same invoice.
        if (!d.console.contains(QStringLiteral("Difference facture")))
            issue.totalCalcule = nombreApres(d.console, QStringLiteral("Total facture acceptable: "));
        return issue;
    }
    const QJsonObject reponse = QJsonDocument::fromJson(d.reponseSoumission.toUtf8()).object();
    if (reponse.contains(QStringLiteral("total")))
        issue.totalCalcule = reponse.value(QStringLiteral("total")).toDouble();
    for (const QString &r : d.requetes) {
        issue.methodes << r.section(QLatin1Char(' '), 0, 0);
        if (r.startsWith(QStringLiteral("POST "))) {
            const QJsonObject corps =
                QJsonDocument::fromJson(r.section(QLatin1Char(' '), 2).toUtf8()).object();
            issue.codeEnvoye =
                corps.value(pays == QStringLiteral("Niger") ? QStringLiteral("isb") : QStringLiteral("aib"))
                    .toString();
        }
    }
    return issue;
}

// The ticket of a certified invoice printed by hand with its result file: its text.
QString ticket(Installation &installation, const QStringList &lignes)
{
    const QString reference = lignes.first().section(QLatin1Char(';'), 0, 0);
    QStringList copie = lignes;
    copie[0] += QStringLiteral("ticket-pdf-silent");
    const QString nom = QStringLiteral("rendu-") + reference + QStringLiteral(".csv");
    QFile::remove(installation.chemin(nom + QStringLiteral(".mcf")));
    if (!installation.ecrire(nom, copie.join(QLatin1Char('\n')) + QLatin1Char('\n')) ||
        !QFile::copy(installation.chemin(reference + QStringLiteral(".csv.mcf")),
                     installation.chemin(nom + QStringLiteral(".mcf"))))
        return {};
    const Installation::Sortie s = installation.rendre(nom);
    if (s.code != 0)
        return QStringLiteral("[orvane-render: code %1]\n%2").arg(s.code).arg(s.console);
    return installation.textePdf(QStringLiteral("pdf/tickets/") + reference + QStringLiteral(".pdf"));
}

} // namespace

void Prelevements::initTestCase()
{
    QVERIFY(m_certificat.pret());
}

void Prelevements::parCode_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<double>("total");         // the engine's; the device or service must compute it
    QTest::addColumn<QString>("codeEmcf");     // the levy sent to the service; empty: refused by it
    QTest::addColumn<QString>("ligneRetenue"); // the ticket's withholding line

    struct Cas
    {
        const char *code;
        double total;
        const char *codeEmcf;
        const char *ligne;
    };
    // Bénin: 2 x 11800 of group B (HT 20000) and 5000 of group A: HT 25000, TTC 28600.
    const QList<Cas> benin{{"AIB1", 28850, "A", "AIB 1% : 250"}, {"AIB5", 29850, "B", "AIB 5% : 1 250"},
                           {"A", 28850, "A", "AIB 1% : 250"},    {"B", 29850, "B", "AIB 5% : 1 250"},
                           {"C", 28600, "", "AIB 0% : 0"},       {"D", 28600, "", "AIB 0% : 0"}};
    // Niger: 2 x 11900 of group B and 5000 of group A: TTC 28800, the ISB base.
    const QList<Cas> niger{{"AIB1", 29088, "", "ISB 1% : 288"}, {"AIB5", 30240, "B", "ISB 5% : 1 440"},
                           {"A", 29376, "A", "ISB 2% : 576"},   {"B", 30240, "B", "ISB 5% : 1 440"},
                           {"C", 28800, "", "ISB 0% : 0"},      {"D", 28800, "", "ISB 0% : 0"}};
    for (const QString &chemin : {appareil, emcf}) {
        for (const auto &[pays, cas] :
             {std::pair{QStringLiteral("Bénin"), benin}, std::pair{QStringLiteral("Niger"), niger}}) {
            for (const Cas &c : cas)
                QTest::addRow("%s %s %s", qPrintable(pays), c.code, qPrintable(chemin))
                    << pays << QString::fromLatin1(c.code) << chemin << c.total
                    << QString::fromLatin1(c.codeEmcf) << QString::fromLatin1(c.ligne);
        }
    }
}

void Prelevements::parCode()
{
    QFETCH(QString, pays);
    QFETCH(QString, code);
    QFETCH(QString, chemin);
    QFETCH(double, total);
    QFETCH(QString, codeEmcf);
    QFETCH(QString, ligneRetenue);

    Installation installation(attributsApp(pays, chemin));
    QVERIFY(installation.pret());
    const bool niger = pays == QStringLiteral("Niger");
    const QString reference = QStringLiteral("P-%1-%2").arg(codeSimulateur(pays), code);
    const QStringList lignes{
        reference + QStringLiteral(";FV;Ali;3;E;Kofi;123;;;;") + code + QStringLiteral(";;"),
        niger ? QStringLiteral("B;Pain;2;10000;11900") : QStringLiteral("B;Pain;2;10000;11800"),
        QStringLiteral("A;Eau;1;5000;5000")};
    const Issue issue = certifier(installation, m_certificat, pays, chemin, lignes);
    const Deroulement &d = issue.deroulement;
    const QByteArray console = d.console.toUtf8();

    // The engine's rate, as the ticket prints it ("AIB 1%" of "AIB 1% : 250").
    QVERIFY2(d.console.contains(QStringLiteral("Taux ") + ligneRetenue.section(QLatin1Char(' '), 0, 1) +
                                QStringLiteral("\n")),
             console.constData());

    if (chemin == emcf && codeEmcf.isEmpty()) {
        // A code with no levy group of the service at its rate: sent as it is, refused before any
        // invoice is pending, never certified at another rate.
        QCOMPARE(issue.codeEnvoye, code);
        QVERIFY2(d.console.contains(QStringLiteral("Erreur 6: ")), console.constData());
        QVERIFY2(!d.certifiee, console.constData());
        QCOMPARE(issue.methodes, (QStringList{"GET", "POST"}));
        return;
    }
    if (chemin == emcf) {
        QCOMPARE(issue.codeEnvoye, codeEmcf);
        QCOMPARE(issue.methodes, (QStringList{"GET", "POST", "PUT"}));
    } else {
        QCOMPARE(d.validees, 1);
    }
    QVERIFY2(d.certifiee, console.constData());
    QVERIFY2(
        qAbs(issue.totalCalcule - total) < 0.005,
        qPrintable(
            QStringLiteral("total %1, attendu %2\n%3").arg(issue.totalCalcule).arg(total).arg(d.console)));
    QVERIFY2(d.console.contains(QStringLiteral("Total facture acceptable: %1").arg(total)),
             console.constData());

    // The renderer prints the same rate and amount (once per code: it does not depend on the path).
    if (chemin == appareil) {
        const QString texte = ticket(installation, lignes);
        QVERIFY2(texte.contains(ligneRetenue), qPrintable(texte));
    }
}

void Prelevements::nigerHorsTaxe_data()
{
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QString>("modePrix");
    // modePrix "HT": tax-exclusive prices to the device and to the service; empty: tax-exclusive to
    // the device, tax-inclusive to the service.
    for (const QString &chemin : {appareil, emcf})
        for (const QString &modePrix : {QStringLiteral("HT"), QString()})
            QTest::addRow("%s modePrix \"%s\"", qPrintable(chemin), qPrintable(modePrix))
                << chemin << modePrix;
}

// Niger with tax-exclusive prices: the engine totals from the file's tax-inclusive prices (an ISB
// on the tax-inclusive amounts), the device receives the amounts without VAT and adds each group's
// rate to them. Groups B 19 %, D 5 %, A exempt, ISB B 5 %: 39 165 on both sides (the simulator used
// to take the tax-exclusive amounts for tax-inclusive ones: 34 650).
void Prelevements::nigerHorsTaxe()
{
    QFETCH(QString, chemin);
    QFETCH(QString, modePrix);

    Installation installation(attributsApp(QStringLiteral("Niger"), chemin, modePrix));
    QVERIFY(installation.pret());
    const QStringList lignes{QStringLiteral("N-HT;FV;Ali;3;E;;;;;;B;;"),
                             QStringLiteral("B;Pain;2;10000;11900"), QStringLiteral("D;Lait;1;10000;10500"),
                             QStringLiteral("A;Eau;1;3000;3000")};
    const Issue issue = certifier(installation, m_certificat, QStringLiteral("Niger"), chemin, lignes);
    const Deroulement &d = issue.deroulement;
    const QByteArray console = d.console.toUtf8();
    QVERIFY2(d.certifiee, console.constData());
    QVERIFY2(d.console.contains(QStringLiteral("Total facture acceptable: 39165")), console.constData());
    QVERIFY2(!d.console.contains(QStringLiteral("Difference facture")), console.constData());
    QCOMPARE(issue.totalCalcule, 39165.0);
    if (chemin == appareil) {
        QCOMPARE(d.validees, 1);
        // Each item went without VAT, at the device's rate of its group.
        for (const char *article :
             {"Pain\tB19%20000\t10000*2", "Lait\tD5%10000\t10000*1", "Eau\tA0%3000\t3000*1"})
            QVERIFY2(d.console.contains(QString::fromLatin1(article)), article);
        const QString texte = ticket(installation, lignes);
        QVERIFY2(texte.contains(QStringLiteral("ISB 5% : 1 865")) && texte.contains(QStringLiteral("39 165")),
                 qPrintable(texte));
    } else {
        // The service is sent the prices of the price basis: tax-exclusive for "HT" only.
        const QString soumission = d.requetes.filter(QRegularExpression(QStringLiteral("^POST "))).value(0);
        const QJsonObject corps =
            QJsonDocument::fromJson(soumission.section(QLatin1Char(' '), 2).toUtf8()).object();
        const QJsonObject pain = corps.value(QStringLiteral("items")).toArray().at(0).toObject();
        QCOMPARE(pain.value(QStringLiteral("price")).toString(),
                 modePrix == QStringLiteral("HT") ? QStringLiteral("10000") : QStringLiteral("11900"));
    }
}

QTEST_GUILESS_MAIN(Prelevements)
#include "tst_prelevements.moc"
