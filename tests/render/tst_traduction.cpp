#include <traduction.h>

#include <QCoreApplication>
#include <QTranslator>
#include <QtTest>

// Qt's own dialogs (print preview, print dialog) speak French when the system does or says nothing.
class Traduction : public QObject
{
    Q_OBJECT

private slots:
    void langue_data();
    void langue();
};

void Traduction::langue_data()
{
    QTest::addColumn<QLocale>("systeme");
    QTest::addColumn<bool>("francais");
    QTest::newRow("French system") << QLocale(QLocale::French, QLocale::Benin) << true;
    QTest::newRow("language not set (C)") << QLocale::c() << true;
    QTest::newRow("English system keeps Qt's choice") << QLocale(QLocale::English, QLocale::Nigeria) << false;
}

void Traduction::langue()
{
    QFETCH(QLocale, systeme);
    QFETCH(bool, francais);

    QTranslator traduction;
    QCOMPARE(installerTraductionQt(traduction, systeme), francais);
    // The preview's print button, as the dialog asks Qt for it.
    const QString imprimer = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    QCOMPARE(imprimer, francais ? QString("Imprimer") : QString("Print"));
    QCoreApplication::removeTranslator(&traduction);
}

QTEST_GUILESS_MAIN(Traduction)
#include "tst_traduction.moc"
