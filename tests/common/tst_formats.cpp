#include <formats.h>

#include <QtTest>

// Number texts of the documents, French locale.
class Formats : public QObject
{
    Q_OBJECT

private slots:
    void nombres_data();
    void nombres();
};

void Formats::nombres_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("attendu");

    QTest::newRow("amount with separator")
        << remplacerSeparateurGroupes(texteMontant(1234567, 1)) << "1 234 567";
    QTest::newRow("negative amount") << remplacerSeparateurGroupes(texteMontant(1000, -1)) << "-1 000";
    QTest::newRow("half rounds away from zero") << texteMontant(72.5, 1) << "73";
    QTest::newRow("negative half rounds away from zero") << texteMontant(72.5, -1) << "-73";
    QTest::newRow("credit note of zero has no minus") << texteMontant(0, -1) << "0";
    QTest::newRow("small negative has no minus") << texteMontant(-0.3, 1) << "0";
    QTest::newRow("quantity with decimal comma") << texteQuantite(1.5) << "1,5";
    QTest::newRow("quantity of fourteen digits") << texteQuantite(0.12345678901234567) << "0,12345678901235";
    QTest::newRow("large quantity grouped") << remplacerSeparateurGroupes(texteQuantite(12500)) << "12 500";
    QTest::newRow("separator is one character") << QString::number(texteMontant(1000, 1).size()) << "5";
}

void Formats::nombres()
{
    QFETCH(QString, texte);
    QFETCH(QString, attendu);
    QCOMPARE(texte, attendu);
}

QTEST_GUILESS_MAIN(Formats)
#include "tst_formats.moc"
