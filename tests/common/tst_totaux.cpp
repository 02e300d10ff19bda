#include <lecturefacture.h>
#include <reglesmcf.h>

#include <QTextStream>
#include <QtTest>

namespace {

Invoice lire(const QString &entree, const QString &pays)
{
    QString copie = entree;
    QTextStream flux(&copie);
    return lireFacture(flux, {DispositionEntete::Version2, pays, true});
}

} // namespace

// The tax tables and the totals of the documents, withholding included.
class TotauxFacture_ : public QObject
{
    Q_OBJECT

private slots:
    void totaux_data();
    void totaux();
    void tables_data();
    void tables();
    void prelevements_data();
    void prelevements();
};

void TotauxFacture_::totaux_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("corps");
    // totalHT, totalTTC, totalTVA, clientTTC, assuranceTTC, montantRetenue, retenueClient, retenueAssurance,
    // netAPayer
    QTest::addColumn<QList<double>>("attendus");

    QTest::newRow("client pays 60 percent")
        << "Bénin"
        << ""
        << "B;Soin;1;847.4576;1000;;;;60\n"
        << QList<double>{847.4576, 1000, 152.5424, 600, 400, 0, 0, 0, 1000};
    QTest::newRow("client share not a number goes to the insurer")
        << "Bénin"
        << ""
        << "B;Soin;2;100;118;;;;abc\n"
        << QList<double>{200, 236, 36, 0, 236, 0, 0, 0, 236};
    QTest::newRow("empty client share is the whole line")
        << "Bénin"
        << ""
        << "B;Soin;2;100;118;;;;\n"
        << QList<double>{200, 236, 36, 236, 0, 0, 0, 0, 236};
    QTest::newRow("benin AIB1 on 10000") << "Bénin"
                                         << "AIB1"
                                         << "B;X;1;10000;11800\n"
                                         << QList<double>{10000, 11800, 1800, 11800, 0, 100, 100, 0, 11900};
    QTest::newRow("unknown withholding code") << "Bénin"
                                              << "XYZ"
                                              << "B;X;1;10000;11800\n"
                                              << QList<double>{10000, 11800, 1800, 11800, 0, 0, 0, 0, 11800};
    QTest::newRow("withholding in another country")
        << "Togo"
        << "AIB5"
        << "B;X;1;10000;11800\n"
        << QList<double>{10000, 11800, 1800, 11800, 0, 0, 0, 0, 11800};
    // Base of the engine: (specific tax HT + HT) x r in Bénin, shared between client and insurer.
    QTest::newRow("benin withholding with specific tax and insurer")
        << "Bénin"
        << "AIB5"
        << "B;Soin;1;1000;1180;;100;118;60\n"
        << QList<double>{1000, 1298, 198, 778.8, 519.2, 55, 33, 22, 1353};
    // Base of the engine: the amounts with tax, specific tax included once, in Niger.
    QTest::newRow("niger withholding with specific tax and insurer")
        << "Niger"
        << "B"
        << "B;Soin;1;1000;1190;;100;119;50\n"
        << QList<double>{1000, 1309, 209, 654.5, 654.5, 65.45, 32.725, 32.725, 1374.45};
    QTest::newRow("exempt group out of the VAT total")
        << "Bénin"
        << ""
        << "A;Riz;1;1000;1100\nB;Pain;1;100;118\n"
        << QList<double>{1100, 1218, 18, 1218, 0, 0, 0, 0, 1218};
    QTest::newRow("seven-digit line VAT kept exact")
        << "Bénin"
        << ""
        << "B;Machine;1;10000000;11234567\n"
        << QList<double>{10000000, 11234567, 1234567, 11234567, 0, 0, 0, 0, 11234567};
}

void TotauxFacture_::totaux()
{
    QFETCH(QString, pays);
    QFETCH(QString, code);
    QFETCH(QString, corps);
    QFETCH(QList<double>, attendus);
    const Invoice v = lire("R1;FV;Ali;7;E;Kofi;123;Rue;;;" + code + ";;ticket\n" + corps, pays);
    const TotauxFacture t = calculerTotaux(v, pays);
    const QList<double> obtenus{t.totalHT,       t.totalTTC,         t.totalTVA,
                                t.clientTTC,     t.assuranceTTC,     t.montantRetenue,
                                t.retenueClient, t.retenueAssurance, t.netAPayer};
    const QStringList noms{"totalHT",        "totalTTC",      "totalTVA",         "clientTTC", "assuranceTTC",
                           "montantRetenue", "retenueClient", "retenueAssurance", "netAPayer"};
    for (qsizetype i = 0; i < noms.size(); ++i) {
        if (std::abs(obtenus.at(i) - attendus.at(i)) > 1e-6)
            QFAIL(qPrintable(QString("%1: obtenu %2, attendu %3")
                                 .arg(noms.at(i))
                                 .arg(obtenus.at(i), 0, 'f', 6)
                                 .arg(attendus.at(i), 0, 'f', 6)));
    }
    // The parts always add up to the whole.
    QVERIFY(std::abs(t.clientTTC + t.assuranceTTC - t.totalTTC) < 1e-6);
    QVERIFY(std::abs(t.retenueClient + t.retenueAssurance - t.montantRetenue) < 1e-6);
}

void TotauxFacture_::tables_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("nom");
    QTest::addColumn<double>("tauxA"); // the letter code A: the service's AIB group A in Bénin
    QTest::newRow("Bénin") << "Bénin"
                           << "AIB" << 1.0;
    QTest::newRow("Niger") << "Niger"
                           << "ISB" << 2.0;
    QTest::newRow("Benin without accent") << "Benin"
                                          << "" << 2.0;
}

void TotauxFacture_::tables()
{
    QFETCH(QString, pays);
    QFETCH(QString, nom);
    QFETCH(double, tauxA);
    const TablesReference t = tablesReference(pays);
    QCOMPARE(t.nomTaxeSpecifique, nom);
    QCOMPARE(t.taux("AIB5"), 5.0);
    QCOMPARE(t.taux("A"), tauxA);
    QCOMPARE(t.taux("X"), 0.0);
    QCOMPARE(t.modesPaiement.value("CR"), QStringLiteral("CREDIT"));
    QCOMPARE(t.modesPaiement.value("M"), QStringLiteral("MOBILEMONEY"));
    QCOMPARE(t.modesPaiement.size(), 8);
}

// Every withholding code in both countries: the rate of the engine's console and line totals, the
// renderer's withholding line, and the levy code sent to the e-MCF service, whose group must carry
// the same rate. The simulators and the real programs are held to the same rows end to end in
// tests/engine/tst_prelevements.cpp.
void TotauxFacture_::prelevements_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("taux");
    QTest::addColumn<QString>("codeEmcf");

    QTest::newRow("benin AIB1") << "Bénin"
                                << "AIB1" << 1.0 << "A";
    QTest::newRow("benin AIB5") << "Bénin"
                                << "AIB5" << 5.0 << "B";
    QTest::newRow("benin A, the service's AIB A") << "Bénin"
                                                  << "A" << 1.0 << "A";
    QTest::newRow("benin B, the service's AIB B") << "Bénin"
                                                  << "B" << 5.0 << "B";
    QTest::newRow("benin C") << "Bénin"
                             << "C" << 0.0 << "C";
    QTest::newRow("benin D") << "Bénin"
                             << "D" << 0.0 << "D";
    QTest::newRow("benin unknown code") << "Bénin"
                                        << "X" << 0.0 << "X";
    QTest::newRow("niger AIB1, no 1 % ISB group") << "Niger"
                                                  << "AIB1" << 1.0 << "AIB1";
    QTest::newRow("niger AIB5") << "Niger"
                                << "AIB5" << 5.0 << "B";
    QTest::newRow("niger A, the service's ISB A") << "Niger"
                                                  << "A" << 2.0 << "A";
    QTest::newRow("niger B, the service's ISB B") << "Niger"
                                                  << "B" << 5.0 << "B";
    QTest::newRow("niger C") << "Niger"
                             << "C" << 0.0 << "C";
    QTest::newRow("niger D") << "Niger"
                             << "D" << 0.0 << "D";
    QTest::newRow("niger unknown code") << "Niger"
                                        << "X" << 0.0 << "X";
}

void TotauxFacture_::prelevements()
{
    QFETCH(QString, pays);
    QFETCH(QString, code);
    QFETCH(double, taux);
    QFETCH(QString, codeEmcf);

    QCOMPARE(tauxTaxe(code, pays), taux);
    QCOMPARE(tablesReference(pays).taux(code), taux);

    // HT 25000 (20000 of group B), TTC 28600 in Bénin, 28800 in Niger.
    const bool niger = pays == QStringLiteral("Niger");
    const QString corps =
        niger ? "B;Pain;2;10000;11900\nA;Eau;1;5000;5000\n" : "B;Pain;2;10000;11800\nA;Eau;1;5000;5000\n";
    const Invoice f = lire("R1;FV;Ali;7;E;Kofi;123;Rue;;;" + code + ";;ticket\n" + corps, pays);
    const double ttc = niger ? 28800 : 28600;
    const double retenue = (niger ? 28800 : 25000) * taux / 100;
    // The engine's total, which the device and the service are checked against.
    QVERIFY2(std::abs(f.totalFacture - (ttc + retenue)) < 1e-6, qPrintable(QString::number(f.totalFacture)));
    // The renderer's withholding line and net amount.
    const TotauxFacture t = calculerTotaux(f, pays);
    QCOMPARE(t.tauxRetenue, taux);
    QVERIFY(std::abs(t.montantRetenue - retenue) < 1e-6);
    QVERIFY(std::abs(t.netAPayer - (ttc + retenue)) < 1e-6);

    // The levy sent to the e-MCF service: a group of the service's (as its published clients read
    // them: AIB A 1 % and B 5 % in Bénin, ISB A 2 % and B 5 % in Niger) only at the same rate.
    QCOMPARE(codePrelevementEmcf(code, pays), codeEmcf);
    const QMap<QString, double> groupesService =
        niger ? QMap<QString, double>{{"A", 2}, {"B", 5}} : QMap<QString, double>{{"A", 1}, {"B", 5}};
    if (groupesService.contains(codeEmcf))
        QCOMPARE(groupesService.value(codeEmcf), taux);
    else
        QVERIFY(taux == 0 || code == QStringLiteral("AIB1"));
}

QTEST_GUILESS_MAIN(TotauxFacture_)
#include "tst_totaux.moc"
