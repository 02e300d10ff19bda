#include "controlefacture.h"

#include <lecturefacture.h>

#include <QTextStream>
#include <QtTest>

// What is refused before any traffic, and what tells two contents of one reference apart.
class ControleFacture : public QObject
{
    Q_OBJECT

    static Invoice lire(QString texte)
    {
        QTextStream flux(&texte);
        OptionsLecture options;
        options.pays = QStringLiteral("Bénin");
        return lireFacture(flux, options);
    }

private slots:
    void refus_data()
    {
        QTest::addColumn<QString>("fichier");
        QTest::addColumn<QString>("motif"); // start of the console line; empty: accepted
        const QString entete = "F-1;FV;Ali;1;E;Kofi;123;;;;;;ticket\n";
        QTest::newRow("ordinary invoice") << entete + "B;Pain;2;100;118\n"
                                          << "";
        QTest::newRow("empty reference") << ";FV;Ali;1;E\nB;Pain;2;100;118\n"
                                         << "Reference de facture vide";
        QTest::newRow("only empty lines: no header, no reference") << "\n\n"
                                                                   << "Reference de facture vide";
        QTest::newRow("tab in the reference") << "F\t1;FV;Ali;1;E\nB;Pain;2;100;118\n"
                                              << "Reference de facture invalide";
        QTest::newRow("escape character in the reference") << "F\x1b"
                                                              "1;FV;Ali;1;E\nB;Pain;2;100;118\n"
                                                           << "Reference de facture invalide";
        QTest::newRow("inf quantity") << entete + "B;Pain;inf;100;118\n"
                                      << "Nombre invalide dans l'article 1 (inf)";
        QTest::newRow("nan price") << entete + "B;Pain;1;100;118\nB;Eau;1;nan;100\n"
                                   << "Nombre invalide dans l'article 2 (nan)";
        QTest::newRow("specific tax beyond 1e15") << entete + "B;Pain;1;100;118;;2e15;0\n"
                                                  << "Nombre invalide dans l'article 1 (2e15)";
        QTest::newRow("1e15 itself is a number") << entete + "B;Pain;1;1e15;1e15\n"
                                                 << "";
        QTest::newRow("quantity that is not a number") << entete + "B;Pain;deux;100;118\n"
                                                       << "Ligne 2 (article 1), champ quantite: \"deux\"";
        QTest::newRow("comma decimal price")
            << entete + "B;Pain;1;100;118\nB;Eau;1;0,5;100\n"
            << "Ligne 3 (article 2), champ prixHT: \"0,5\" n'est pas un nombre (le separateur decimal est le "
               "point): ";
        QTest::newRow("empty quantity and prices count as 0") << entete + "B;Pain;;;\n"
                                                              << "";
    }

    void refus()
    {
        QFETCH(QString, fichier);
        QFETCH(QString, motif);
        const QString obtenu = motifRefus(lire(fichier));
        if (motif.isEmpty())
            QCOMPARE(obtenu, QString());
        else
            QVERIFY2(obtenu.startsWith(motif) && obtenu.endsWith("la facture n'est pas certifiee.\n"),
                     qPrintable(obtenu));
    }

    void empreinte_data()
    {
        QTest::addColumn<QString>("autre");
        QTest::addColumn<bool>("meme");
        const QString base = "F-1;FV;Ali;1;E;Kofi;123;;;;B;;ticket\nB;Pain;2;100;118\n#A;Merci\n";
        QTest::newRow("same file") << base << true;
        QTest::newRow("another print mode reprints the same invoice")
            << QString(base).replace(";ticket", ";facture-pdf") << true;
        QTest::newRow("another operator name is presentation") << QString(base).replace("Ali", "Awa") << true;
        QTest::newRow("another quantity") << QString(base).replace("Pain;2", "Pain;3") << false;
        QTest::newRow("another price with the same total is another content")
            << QString(base).replace("2;100;118", "1;200;236") << false;
        QTest::newRow("one more item") << base + "A;Eau;1;300;300\n" << false;
        QTest::newRow("another client tax number") << QString(base).replace(";123;", ";124;") << false;
        QTest::newRow("another levy code") << QString(base).replace(";B;;", ";A;;") << false;
    }

    void empreinte()
    {
        QFETCH(QString, autre);
        QFETCH(bool, meme);
        const QString base = "F-1;FV;Ali;1;E;Kofi;123;;;;B;;ticket\nB;Pain;2;100;118\n#A;Merci\n";
        const QString a = empreinteFacture(lire(base));
        const QString b = empreinteFacture(lire(autre));
        QVERIFY(a.startsWith("246.00;1;"));
        QCOMPARE(a == b, meme);
    }
};

QTEST_APPLESS_MAIN(ControleFacture)
#include "tst_controlefacture.moc"
