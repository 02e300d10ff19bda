#include "boutenbout.h"

#include <QtTest>

using namespace boutenbout;

// End to end, a quantity or price that is written but is not a number ("0,333", "abc"): the engine
// refuses the invoice with a French line naming the line and the field before anything goes to the
// device (no frame) or to the e-MCF service (no request); the renderer run by hand refuses it the
// same way and prints nothing. An empty field still counts as 0 and is certified.
class NombresIllisibles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refus_data();
    void refus();
    void champVideCertifie_data();
    void champVideCertifie();
    void refusDuRendu_data();
    void refusDuRendu();

private:
    // The invoice `contenu` written as `nom` in `installation` and certified on `chemin`.
    Deroulement certifier(const Installation &installation, const QString &chemin, const QString &nom,
                          const QString &contenu);

    CertificatLocal m_certificat;
};

Deroulement NombresIllisibles::certifier(const Installation &installation, const QString &chemin,
                                         const QString &nom, const QString &contenu)
{
    if (!installation.pret() || !installation.ecrire(nom, contenu)) {
        Deroulement echec;
        echec.console = QStringLiteral("[installation impossible]");
        return echec;
    }
    return certifierSur(installation, m_certificat, QStringLiteral("Bénin"), chemin, nom);
}

void NombresIllisibles::initTestCase()
{
    QVERIFY(m_certificat.pret());
}

void NombresIllisibles::refus_data()
{
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QString>("article");
    QTest::addColumn<QString>("ligne"); // the engine's console line

    for (const QString &chemin : {appareil, emcf}) {
        QTest::addRow("comma decimal quantity, %s", qPrintable(chemin))
            << chemin << "B;Pain;0,333;100;118"
            << "Ligne 3 (article 2), champ quantite: \"0,333\" n'est pas un nombre (le separateur decimal "
               "est "
               "le point): la facture n'est pas certifiee.";
        QTest::addRow("text quantity, %s", qPrintable(chemin))
            << chemin << "B;Pain;abc;100;118"
            << "Ligne 3 (article 2), champ quantite: \"abc\" n'est pas un nombre: la facture n'est pas "
               "certifiee.";
        QTest::addRow("comma decimal price with tax, %s", qPrintable(chemin))
            << chemin << "B;Pain;1;100;117,5"
            << "Ligne 3 (article 2), champ prixTTC: \"117,5\" n'est pas un nombre (le separateur decimal est "
               "le point): la facture n'est pas certifiee.";
    }
}

void NombresIllisibles::refus()
{
    QFETCH(QString, chemin);
    QFETCH(QString, article);
    QFETCH(QString, ligne);

    const Installation installation(attributsApp(QStringLiteral("Bénin"), chemin));
    const QString entete = QStringLiteral("N-1;FV;Ali;3;E;Kofi;123;;;;;;\nA;Eau;1;500;500\n");
    const Deroulement d = certifier(installation, chemin, "f.csv", entete + article + "\n");
    QVERIFY2(d.console.split('\n').contains(ligne), qPrintable(d.console));
    QVERIFY2(!d.certifiee, qPrintable(d.console));
    QVERIFY2(!d.console.contains("Traitement de la nouvelle facture"), qPrintable(d.console));
    if (chemin == appareil)
        QCOMPARE(d.trames, 0);
    else
        QCOMPARE(d.requetes, QStringList());

    // Nothing was claimed: once written with a point, the same reference is certified.
    const Deroulement corrigee = certifier(installation, chemin, "f.csv", entete + "B;Pain;1;100;118\n");
    QVERIFY2(corrigee.certifiee, qPrintable(corrigee.console));
}

void NombresIllisibles::champVideCertifie_data()
{
    QTest::addColumn<QString>("chemin");
    QTest::newRow(qPrintable(appareil)) << appareil;
    QTest::newRow(qPrintable(emcf)) << emcf;
}

// Business applications leave the price without tax empty: it counts as 0, as before.
void NombresIllisibles::champVideCertifie()
{
    QFETCH(QString, chemin);
    const Deroulement d =
        certifier(Installation(attributsApp(QStringLiteral("Bénin"), chemin)), chemin, "v.csv",
                  "V-1;FV;Ali;3;E;Kofi;123;;;;;;\nB;Pain;2;;118\nA;Eau;1;;500;;;;\n");
    QVERIFY2(d.certifiee, qPrintable(d.console));
    QVERIFY2(d.console.contains("Total facture acceptable: 736"), qPrintable(d.console));
}

void NombresIllisibles::refusDuRendu_data()
{
    QTest::addColumn<QString>("article");
    QTest::addColumn<QString>("ligne");
    QTest::newRow("comma decimal quantity")
        << "B;Pain;0,333;100;118"
        << "Ligne 2 (article 1), champ quantite: \"0,333\" n'est pas un nombre (le separateur decimal est le "
           "point): la facture n'est pas imprimee.";
    QTest::newRow("text quantity") << "B;Pain;abc;100;118"
                                   << "Ligne 2 (article 1), champ quantite: \"abc\" n'est pas un nombre: la "
                                      "facture n'est pas imprimee.";
}

// orvane-render run by hand on such a file, with a result file beside it: the same line, exit code 1,
// no document.
void NombresIllisibles::refusDuRendu()
{
    QFETCH(QString, article);
    QFETCH(QString, ligne);
    Installation installation(attributsApp(QStringLiteral("Bénin"), appareil));
    QVERIFY(installation.pret());
    QVERIFY(
        installation.ecrire("r.csv", "R-1;FV;Ali;3;E;Kofi;123;;;;;;ticket-pdf-silent\n" + article + "\n"));
    QVERIFY(installation.ecrire("r.csv.mcf",
                                "R-1\t1\tABCD-EFGH-IJKL-MNOP-QRST-UVWX\tSIM0100001\t1/1 FV\t"
                                "10/12/2026 07:12:32\tF;SIM0100001;ABCDEFGHIJKLMNOPQRSTUVWX;3200\t\n"));
    const Installation::Sortie s = installation.rendre("r.csv");
    QVERIFY2(s.console.split('\n').contains(ligne), qPrintable(s.console));
    QCOMPARE(s.code, 1);
    QVERIFY(!QFile::exists(installation.chemin("pdf/tickets/R-1.pdf")));
}

QTEST_GUILESS_MAIN(NombresIllisibles)
#include "tst_nombresillisibles.moc"
