#include "consolefacture.h"

#include <lecturefacture.h>

#include <QtTest>

// The engine's reading of an invoice: the record the reader fills in layout 2, the refund's fiscal
// reference and the console lines printed from the record.
class ConsoleFacture : public QObject
{
    Q_OBJECT

private:
    struct Resultat
    {
        Invoice facture;
        QString console;
    };

    static Resultat analyser(const QStringList &lignes, const QString &pays, bool modeEnLigne = false,
                             std::optional<FactureOriginale> originale = std::nullopt,
                             QStringList *recherches = nullptr)
    {
        const TablesReference tables = tablesReference(pays);
        OptionsLecture options;
        options.pays = pays;
        Resultat r;
        for (const QString &ligne : lignes) {
            lireLigne(ligne, r.facture, options);
            ++r.facture.nombreLignes;
        }
        std::string console;
        if (!r.facture.factureOriginale.isEmpty()) {
            if (recherches)
                recherches->append(r.facture.factureOriginale);
            console = resoudreReferenceOriginale(r.facture, originale, pays, modeEnLigne);
        }
        console += texteConsoleFacture(r.facture, tables, pays);
        r.console = QString::fromStdString(console);
        return r;
    }

private slots:
    void entete_data()
    {
        QTest::addColumn<QString>("ligne");
        QTest::addColumn<QString>("pays");
        QTest::addColumn<QStringList>("attendu"); // reference, type, operateur, id, client, ifu, code, impression
        QTest::addColumn<QString>("console");

        const QString treize = QStringLiteral("F1;FV;Ali;7;E;Kofi;123;Cotonou;97;;B;;ticket");
        QTest::newRow("two fields keep the default operator")
            << "F1;FV" << "Bénin" << QStringList{"F1", "FV", "Orvane", "1", "", "", "", ""} << "";
        QTest::newRow("three fields set the operator and print nothing")
            << " F1 ; FV ; Ali " << "Bénin" << QStringList{"F1", "FV", "Ali", "1", "", "", "", ""} << "";
        QTest::newRow("thirteen fields in Bénin")
            << treize << "Bénin" << QStringList{"F1", "FV", "Ali", "7", "Kofi", "123", "B", "ticket"}
            << "Utilisateur: Ali\nClient: Kofi IFU: 123 , Taux AIB 5%\n\n";
        QTest::newRow("thirteen fields in Niger")
            << treize << "Niger" << QStringList{"F1", "FV", "Ali", "7", "Kofi", "123", "B", "ticket"}
            << "Utilisateur: Ali\nClient: Kofi IFU: 123 , Taux ISB 5%\n\n";
        QTest::newRow("no withholding code")
            << "F1;FV;Ali;7;E;Kofi;123;Cotonou;97;;;;" << "Bénin"
            << QStringList{"F1", "FV", "Ali", "7", "Kofi", "123", "", ""}
            << "Utilisateur: Ali\nClient: Kofi IFU: 123 , AIB non applicable\n\n";
        QTest::newRow("unknown withholding code reads as rate 0")
            << "F1;FV;Ali;7;E;Kofi;123;Cotonou;97;;ZZ" << "Bénin"
            << QStringList{"F1", "FV", "Ali", "7", "Kofi", "123", "ZZ", ""}
            << "Utilisateur: Ali\nClient: Kofi IFU: 123 , Taux AIB 0%\n\n";
        QTest::newRow("fractional rate printed as the stream does")
            << "F1;FV;Ali;7;E;Kofi;123;Cotonou;97;;AIB1" << "Bénin"
            << QStringList{"F1", "FV", "Ali", "7", "Kofi", "123", "AIB1", ""}
            << "Utilisateur: Ali\nClient: Kofi IFU: 123 , Taux AIB 1%\n\n";
        QTest::newRow("other country has no withholding name")
            << "F1;FV;Ali;7;E;Kofi;123;Cotonou;97;;" << "Benin"
            << QStringList{"F1", "FV", "Ali", "7", "Kofi", "123", "", ""}
            << "Utilisateur: Ali\nClient: Kofi IFU: 123 ,  non applicable\n\n";
        QTest::newRow("a header starting with # is still the header")
            << "#F1;FV;Ali;7" << "Bénin" << QStringList{"#F1", "FV", "Ali", "7", "", "", "", ""}
            << "Utilisateur: Ali\nClient:  IFU:  , AIB non applicable\n\n";
    }

    void entete()
    {
        QFETCH(QString, ligne);
        QFETCH(QString, pays);
        QFETCH(QStringList, attendu);
        QFETCH(QString, console);
        const Resultat r = analyser({ligne}, pays);
        const Invoice &f = r.facture;
        QCOMPARE((QStringList{f.reference, f.typeFacture, f.nomOperateur, f.idOperateur, f.nomClient, f.ifuClient,
                              f.codeTaxeSpecifique, f.impression}),
                 attendu);
        QCOMPARE(r.console, console);
        QVERIFY(f.articles.isEmpty());
    }

    void enteteChampsDuClient()
    {
        const Resultat r = analyser({"F1;FV;Ali;7;E;Kofi;123;Cotonou;97 00;01 02;B;;facture"}, "Bénin");
        QCOMPARE(r.facture.codePaiement, QStringLiteral("E"));
        QCOMPARE(r.facture.adresseClient, QStringLiteral("Cotonou"));
        QCOMPARE(r.facture.contactClient, QStringLiteral("97 00"));
        QCOMPARE(r.facture.contactClient2, QStringLiteral("01 02"));
    }

    void remboursement_data()
    {
        QTest::addColumn<QString>("pays");
        QTest::addColumn<bool>("modeEnLigne");
        QTest::addColumn<QString>("position11");
        QTest::addColumn<bool>("connue");
        QTest::addColumn<QString>("referenceOriginale");
        QTest::addColumn<QString>("message");

        QTest::newRow("device path: NIM-TC") << "Bénin" << false << "F0" << true << "EM01-87"
                                             << "Facture retrouvee: EM01-87\n";
        QTest::newRow("web Bénin: signature without dashes")
            << "Bénin" << true << "F0" << true << "ABCD1234EFGH" << "Facture retrouvee: ABCD1234EFGH\n";
        QTest::newRow("web Niger: NIM-TC") << "Niger" << true << "F0" << true << "EM01-87"
                                           << "Facture retrouvee: EM01-87\n";
        QTest::newRow("web, other country: unchanged") << "Togo" << true << "F0" << true << "" << "Facture retrouvee: \n";
        QTest::newRow("unknown with a dash is taken as is")
            << "Bénin" << false << "EM09-12" << false << "EM09-12" << "Facture non retrouvee: EM09-12\n";
        QTest::newRow("unknown without a dash sets nothing") << "Bénin" << false << "F0" << false << "" << "";
    }

    void remboursement()
    {
        QFETCH(QString, pays);
        QFETCH(bool, modeEnLigne);
        QFETCH(QString, position11);
        QFETCH(bool, connue);
        QFETCH(QString, referenceOriginale);
        QFETCH(QString, message);
        std::optional<FactureOriginale> originale;
        if (connue)
            originale = FactureOriginale{"EM01", "87", "ABCD-1234-EFGH"};
        QStringList recherches;
        const Resultat r = analyser({"F2;FA;Ali;7;E;Kofi;123;;;;; " + position11 + " ;ticket"}, pays, modeEnLigne,
                                    originale, &recherches);
        QCOMPARE(recherches, QStringList{position11});
        QCOMPARE(r.facture.referenceOriginale, referenceOriginale);
        QVERIFY2(r.console.startsWith(message + "Utilisateur: Ali\n"), qPrintable(r.console));
        QCOMPARE(r.facture.impression, QStringLiteral("ticket"));
    }

    void remboursementVideNeChercheRien()
    {
        QStringList recherches;
        analyser({"F2;FA;Ali;7;E;Kofi;123;;;;;  ;ticket"}, "Bénin", false, FactureOriginale{}, &recherches);
        QVERIFY(recherches.isEmpty());
    }

    void article_data()
    {
        QTest::addColumn<QString>("pays");
        QTest::addColumn<QString>("entete");
        QTest::addColumn<QString>("ligne");
        QTest::addColumn<QString>("tva");
        QTest::addColumn<double>("total");
        QTest::addColumn<QString>("console");

        const QString avecB = QStringLiteral("F1;FV;Ali;7;E;Kofi;123;;;;B");
        const QString sans = QStringLiteral("F1;FV;Ali;7;E;Kofi;123;;;;");
        QTest::newRow("Bénin withholding on HT") << "Bénin" << avecB << "B;Pain;2;100;118" << "36" << 246.0
                                                 << "Pain (2 * 118) = 236.0000 + AIB (10.0000) = 246.0000\n";
        QTest::newRow("Niger withholding on TTC, same AIB label")
            << "Niger" << avecB << "B;Pain;2;100;118" << "36" << 247.8
            << "Pain (2 * 118) = 236.0000 + AIB (11.8000) = 247.8000\n";
        QTest::newRow("Bénin withholding includes the specific tax HT")
            << "Bénin" << avecB << "B;Biere;1;1000;1180;;100;118" << "180" << 1180 + 118 + 55.0
            << "Biere (1 * 1180) = 1180.0000 + TS (118) + AIB (55.0000) = 1353.0000\n";
        QTest::newRow("no withholding code") << "Bénin" << sans << "A;Eau;3;500;500;;0;0" << "0" << 1500.0
                                             << "Eau (3 * 500) = 1500.0000 = 1500.0000\n";
        QTest::newRow("VAT grouped with the French separator")
            << "Bénin" << sans << "B;Lit;1;10000;11800" << QStringLiteral("1\u202F800") << 11800.0
            << "Lit (1 * 11800) = 11800.0000 = 11800.0000\n";
        QTest::newRow("VAT halves round away from zero")
            << "Bénin" << sans << "B;Sel;1;100;100.5" << "1" << 100.5 << "Sel (1 * 100.5) = 100.5000 = 100.5000\n";
        QTest::newRow("negative VAT rounds away from zero")
            << "Bénin" << sans << "B;Avoir;-1;100;100.5" << "-1" << -100.5
            << "Avoir (-1 * 100.5) = -100.5000 = -100.5000\n";
        QTest::newRow("tiny negative VAT is written 0, not -0")
            << "Bénin" << sans << "B;Avoir;-1;100;100.2" << "0" << -100.2
            << "Avoir (-1 * 100.2) = -100.2000 = -100.2000\n";
        QTest::newRow("unreadable numbers count as 0")
            << "Bénin" << sans << "B;Rien;deux;1,5;abc" << "0" << 0.0 << "Rien (deux * abc) = 0.0000 = 0.0000\n";
        QTest::newRow("four fields: prices missing read as 0")
            << "Bénin" << sans << "B;Don;1;100" << "-100" << 0.0 << "Don (1 * ) = 0.0000 = 0.0000\n";
        QTest::newRow("unknown country takes no withholding")
            << "Togo" << avecB << "B;Pain;2;100;118" << "36" << 236.0 << "Pain (2 * 118) = 236.0000 = 236.0000\n";
    }

    void article()
    {
        QFETCH(QString, pays);
        QFETCH(QString, entete);
        QFETCH(QString, ligne);
        QFETCH(QString, tva);
        QFETCH(double, total);
        QFETCH(QString, console);
        const Resultat avant = analyser({entete}, pays);
        const Resultat r = analyser({entete, ligne}, pays);
        QCOMPARE(r.facture.articles.size(), 1);
        QCOMPARE(r.facture.articles.first().tva, tva);
        QCOMPARE(r.facture.totalFacture, total);
        QCOMPARE(r.console.mid(avant.console.size()), console);
    }

    void articleGardeLesTextesDuFichier()
    {
        const Resultat r =
            analyser({"F1;FV", " C ; Riz 5kg ; 1.50 ; 2000 ; 2360 ; sac ; 10 ; 11.8 ; 100 ; extra"}, "Bénin");
        QCOMPARE(r.facture.articles.size(), 1);
        const InvoiceItem &a = r.facture.articles.first();
        QCOMPARE((QStringList{a.designation, a.quantite, a.prixHT, a.tva, a.prixTTC, a.complementArticle,
                              a.taxeSpecifiqueHT, a.taxeSpecifique, a.groupeTaxe}),
                 (QStringList{"Riz 5kg", "1.50", "2000", "540", "2360", "sac", "10", "11.8", "C"}));
    }

    void lignesIgnoreesEtCommentaires()
    {
        const Resultat r = analyser({"F1;FV;Ali", "B;Pain;2", "#", "#A;Merci; Bonne journee ", "#x;seul", "\u0000"},
                                    "Bénin");
        QVERIFY(r.facture.articles.isEmpty());
        QCOMPARE(r.facture.totalFacture, 0.0);
        QCOMPARE(r.console, QString());
        QCOMPARE(r.facture.commentaires.size(), 3);
        QCOMPARE(r.facture.commentaires.at(0).libelle, QString());
        QCOMPARE(r.facture.commentaires.at(0).valeur, QString());
        QCOMPARE(r.facture.commentaires.at(1).libelle, QStringLiteral("Merci"));
        QCOMPARE(r.facture.commentaires.at(1).valeur, QStringLiteral("Bonne journee"));
        QCOMPARE(r.facture.commentaires.at(2).libelle, QStringLiteral("seul"));
        QCOMPARE(r.facture.commentaires.at(2).valeur, QString());
        QCOMPARE(r.facture.nombreLignes, 6);
    }

    void totalSuitLOrdreDesLignes()
    {
        const Resultat r = analyser({"F1;FV;Ali;7;E;Kofi;123;;;;AIB1", "B;Pain;2;100;118", "A;Eau;1;500;500",
                                     "# commentaire;x;y", "B;Sucre;0.5;1000;1180"},
                                    "Bénin");
        QCOMPARE(r.facture.articles.size(), 3);
        QCOMPARE(r.facture.totalFacture, (236 + 2.0) + (500 + 5.0) + (590 + 5.0));
    }
};

QTEST_GUILESS_MAIN(ConsoleFacture)
#include "tst_consolefacture.moc"
