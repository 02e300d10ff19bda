#include "resultatsexemple.h"

#include <etatfiscal.h>
#include <resultatlu.h>

#include <QTextStream>
#include <QtTest>

// The fiscal result as the renderer reads it from the result file.
class ResultatLu_ : public QObject
{
    Q_OBJECT

private slots:
    void resultat_data();
    void resultat();
    void etat_data();
    void etat();
};

void ResultatLu_::resultat_data()
{
    QTest::addColumn<QString>("contenu");
    QTest::addColumn<QStringList>("champs");

    QTest::newRow("engine line of a sale")
        << "R1\t12\tABCD-EFGH\tEM01\t82/87 FV\t09/01/2020 13:55:42\tF;EM01;ABCDEFGH\t"
        << QStringList{"ABCD-EFGH",       "EM01", "82/87 FV", "09/01/2020 13:55:42",
                       "F;EM01;ABCDEFGH", "",     "R1",       "12"};
    QTest::newRow("refund with original reference")
        << "R2\t\tSIG\tNIM\tC\tD\tQR\tNIM-12"
        << QStringList{"SIG", "NIM", "C", "D", "QR", "NIM-12", "R2", ""};
    QTest::newRow("leading empty lines and spaces")
        << "\n\n R3 \t 1 \t SIG \t NIM \t C \t D \t QR \t O \nautre"
        << QStringList{"SIG", "NIM", "C", "D", "QR", "O", "R3", "1"};
    QTest::newRow("short line") << "R4\t1\tSIG" << QStringList{"SIG", "", "", "", "", "", "R4", "1"};
    QTest::newRow("empty file") << "" << QStringList{"", "", "", "", "", "", "", ""};
}

void ResultatLu_::resultat()
{
    QFETCH(QString, contenu);
    QFETCH(QStringList, champs);
    QTextStream flux(&contenu);
    const ResultatLu r = lireResultat(flux);
    QCOMPARE((QStringList{r.signature, r.mecef_nim, r.mecef_compt, r.date, r.qrcode, r.referenceOriginale,
                          r.reference, r.mecef_tc}),
             champs);
}

void ResultatLu_::etat_data()
{
    QTest::addColumn<QString>("ligne"); // null: no result file
    QTest::addColumn<int>("certification");
    QTest::addColumn<QString>("console"); // empty: none

    const auto certifiee = static_cast<int>(Certification::Certifiee);
    const auto demonstration = static_cast<int>(Certification::Demonstration);
    const auto non = static_cast<int>(Certification::NonCertifiee);
    const QString debut = "orvane-render: Facture non certifiee (";
    const QString fin = "): elle porte la mention FACTURE NON CERTIFIEE.\n";
    QTest::newRow("certification of the invoice") << ligneCertifiee("R1") << certifiee << "";
    QTest::newRow("refund certified") << ligneCertifiee("R1", "EM01020304-12") << certifiee << "";
    QTest::newRow("no result file") << QString() << non << debut + "aucun fichier resultat" + fin;
    QTest::newRow("empty result file")
        << "" << non << debut + "le fichier resultat ne nomme pas la facture" + fin;
    QTest::newRow("result of another invoice")
        << ligneCertifiee("R2") << non << debut + "le fichier resultat est celui de la facture R2" + fin;
    QTest::newRow("no QR code") << QString(ligneCertifiee("R1")).replace(texteQrCertifie, "") << non
                                << debut + "le fichier resultat ne porte pas de code QR" + fin;
    QTest::newRow("no fiscal code") << QString(ligneCertifiee("R1")).replace(signatureCertifiee, "") << non
                                    << debut + "le fichier resultat ne porte pas de code fiscal" + fin;
    QTest::newRow("no NIM") << QString(ligneCertifiee("R1")).replace("\tEM01020304\t", "\t\t") << non
                            << debut + "le fichier resultat ne porte pas de NIM" + fin;
    QTest::newRow("QR text too long for a QR code")
        << QString(ligneCertifiee("R1")).replace(texteQrCertifie, QString(8000, 'x')) << non
        << debut + "le texte QR du fichier resultat est trop long pour un code QR" + fin;
    QTest::newRow("demonstration result")
        << ligneDemonstration("R1") << demonstration
        << "orvane-render: Facture de demonstration (resultat de demonstration, aucun appareil ni service "
           "fiscal "
           "n'a certifie la facture): elle porte la mention DEMONSTRATION - FACTURE NON CERTIFIEE.\n";
    QTest::newRow("demonstration result of another invoice")
        << ligneDemonstration("R2") << non << debut + "le fichier resultat est celui de la facture R2" + fin;
}

// Which results certify the invoice, and what the console says of those that do not.
void ResultatLu_::etat()
{
    QFETCH(QString, ligne);
    QFETCH(int, certification);
    QFETCH(QString, console);
    std::optional<ResultatLu> resultat;
    if (!ligne.isNull()) {
        QTextStream flux(&ligne);
        resultat = lireResultat(flux);
    }
    const EtatFiscal etat = etatFiscal(resultat, "R1");
    QCOMPARE(static_cast<int>(etat.certification), certification);
    QCOMPARE(etat.raison.isEmpty(), certification == static_cast<int>(Certification::Certifiee));
    QCOMPARE(ligneConsole(etat), console);
    QCOMPARE(mention(etat.certification).vide(), console.isEmpty());
}

QTEST_GUILESS_MAIN(ResultatLu_)
#include "tst_resultatlu.moc"
