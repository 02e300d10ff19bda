#include <lecturefacture.h>

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
    QTest::newRow("Bénin") << "Bénin"
                           << "AIB";
    QTest::newRow("Niger") << "Niger"
                           << "ISB";
    QTest::newRow("Benin without accent") << "Benin"
                                          << "";
}

void TotauxFacture_::tables()
{
    QFETCH(QString, pays);
    QFETCH(QString, nom);
    const TablesReference t = tablesReference(pays);
    QCOMPARE(t.nomTaxeSpecifique, nom);
    QCOMPARE(t.taux("AIB5"), 5.0);
    QCOMPARE(t.taux("A"), 2.0);
    QCOMPARE(t.taux("X"), 0.0);
    QCOMPARE(t.modesPaiement.value("CR"), QStringLiteral("CREDIT"));
    QCOMPARE(t.modesPaiement.value("M"), QStringLiteral("MOBILEMONEY"));
    QCOMPARE(t.modesPaiement.size(), 8);
}

QTEST_GUILESS_MAIN(TotauxFacture_)
#include "tst_totaux.moc"
