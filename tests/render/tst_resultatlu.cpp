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
};

void ResultatLu_::resultat_data()
{
    QTest::addColumn<QString>("contenu");
    QTest::addColumn<QStringList>("champs");

    QTest::newRow("engine line of a sale")
        << "R1\t12\tABCD-EFGH\tEM01\t82/87 FV\t09/01/2020 13:55:42\tF;EM01;ABCDEFGH\t"
        << QStringList{"ABCD-EFGH", "EM01", "82/87 FV", "09/01/2020 13:55:42", "F;EM01;ABCDEFGH", ""};
    QTest::newRow("refund with original reference")
        << "R2\t\tSIG\tNIM\tC\tD\tQR\tNIM-12" << QStringList{"SIG", "NIM", "C", "D", "QR", "NIM-12"};
    QTest::newRow("leading empty lines and spaces")
        << "\n\n R3 \t 1 \t SIG \t NIM \t C \t D \t QR \t O \nautre"
        << QStringList{"SIG", "NIM", "C", "D", "QR", "O"};
    QTest::newRow("short line") << "R4\t1\tSIG" << QStringList{"SIG", "", "", "", "", ""};
    QTest::newRow("empty file") << "" << QStringList{"", "", "", "", "", ""};
}

void ResultatLu_::resultat()
{
    QFETCH(QString, contenu);
    QFETCH(QStringList, champs);
    QTextStream flux(&contenu);
    const ResultatLu r = lireResultat(flux);
    QCOMPARE((QStringList{r.signature, r.mecef_nim, r.mecef_compt, r.date, r.qrcode, r.referenceOriginale}),
             champs);
}

QTEST_GUILESS_MAIN(ResultatLu_)
#include "tst_resultatlu.moc"
