#include "verificationtotal.h"

#include <reglesmcf.h>

#include <QtTest>

// The allowance between the service's total and the invoice's own total.
class VerificationTotal : public QObject
{
    Q_OBJECT

private slots:
    void acceptation_data();
    void acceptation();
};

void VerificationTotal::acceptation_data()
{
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<double>("sommeQuantites");
    QTest::addColumn<double>("totalFacture");
    QTest::addColumn<double>("totalService");
    QTest::addColumn<double>("permis");
    QTest::addColumn<bool>("acceptable");

    // Quantities 2, 1 and 1: half of 4 units.
    QTest::newRow("no tolerance, 4 units, 2 above is accepted")
        << 0.0 << 4.0 << 1000.0 << 1002.0 << 2.0 << true;
    QTest::newRow("no tolerance, 4 units, 2.5 above is refused")
        << 0.0 << 4.0 << 1000.0 << 1002.5 << 2.0 << false;
    QTest::newRow("no tolerance, 4 units, 2 below is accepted")
        << 0.0 << 4.0 << 1000.0 << 998.0 << 2.0 << true;
    QTest::newRow("no tolerance, 4 units, equal totals") << 0.0 << 4.0 << 1000.0 << 1000.0 << 2.0 << true;
    QTest::newRow("tolerance 5, exactly 5 above") << 5.0 << 100.0 << 1000.0 << 1005.0 << 5.0 << true;
    QTest::newRow("tolerance 5, exactly 5 below") << 5.0 << 100.0 << 1000.0 << 995.0 << 5.0 << true;
    QTest::newRow("tolerance 5, 5.01 above whatever the quantities")
        << 5.0 << 100.0 << 1000.0 << 1005.01 << 5.0 << false;
    QTest::newRow("tolerance 5, 5.01 below") << 5.0 << 0.0 << 1000.0 << 994.99 << 5.0 << false;
    QTest::newRow("no tolerance, no quantity, any difference refused")
        << 0.0 << 0.0 << 1000.0 << 1000.01 << 0.0 << false;
    QTest::newRow("no tolerance, no quantity, equal totals") << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << true;
    QTest::newRow("missing service total counts as 0 and is refused")
        << 0.0 << 4.0 << 771.0 << 0.0 << 2.0 << false;
    QTest::newRow("fractional quantities") << 0.0 << 1.5 << 100.0 << 100.75 << 0.75 << true;
}

void VerificationTotal::acceptation()
{
    QFETCH(double, tolerance);
    QFETCH(double, sommeQuantites);
    QFETCH(double, totalFacture);
    QFETCH(double, totalService);
    QFETCH(double, permis);
    QFETCH(bool, acceptable);
    QCOMPARE(ecartPermisEmcf(tolerance, sommeQuantites), permis);
    QCOMPARE(totalAcceptable(totalService, totalFacture, tolerance, sommeQuantites), acceptable);
}

QTEST_GUILESS_MAIN(VerificationTotal)
#include "tst_verificationtotal.moc"
