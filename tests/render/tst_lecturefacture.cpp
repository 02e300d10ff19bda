#include <formats.h>
#include <resultatlu.h>
#include <totaux.h>
#include <vuefacture.h>

#include <QTextStream>
#include <QtTest>

namespace {

LectureFacture lire(const QString &entree, DispositionEntete disposition = DispositionEntete::Version2,
                    const QString &pays = QStringLiteral("Bénin"))
{
    QString copie = entree;
    QTextStream flux(&copie);
    return lireFacture(flux, disposition, pays);
}

// A literal that holds NUL characters, kept whole.
template <std::size_t N> QString avecNul(const char (&texte)[N])
{
    return QString::fromLatin1(texte, N - 1);
}

} // namespace

class LectureFacture_ : public QObject
{
    Q_OBJECT

private slots:
    void entete_data();
    void entete();
    void lignes_data();
    void lignes();
    void signe_data();
    void signe();
    void totaux_data();
    void totaux();
    void resultat_data();
    void resultat();
    void nombres_data();
    void nombres();
};

void LectureFacture_::entete_data()
{
    QTest::addColumn<QString>("ligne");
    QTest::addColumn<QString>("apiVersion");
    // reference, typeFacture, nomOperateur, idOperateur, adresseClient, codeTaxeSpecifique, impression,
    // dateFacture, codeClient, nomCaissier, bonCommande, matricule, ligneLibre
    QTest::addColumn<QStringList>("champs");
    QTest::addColumn<double>("montantRecu");
    QTest::addColumn<bool>("impressionVide");

    const QString v2 =
        "R1;FV;Ali;7;E;Kofi;123;Rue 1;c1;c2;AIB1;ORIG;ticket;01/01/2026;CL1; 2500 ;Awa;BC1;MAT1;Libre";
    QTest::newRow("layout 2, every field")
        << v2 << "" << QStringList{"R1",         "FV",  "Ali", "7",   "Rue 1", "AIB1", "ticket",
                                   "01/01/2026", "CL1", "Awa", "BC1", "MAT1",  "Libre"}
        << 2500.0 << false;
    QTest::newRow("version 2 written out is layout 2")
        << v2 << "2" << QStringList{"R1",         "FV",  "Ali", "7",   "Rue 1", "AIB1", "ticket",
                                    "01/01/2026", "CL1", "Awa", "BC1", "MAT1",  "Libre"}
        << 2500.0 << false;
    const QString v1 = "R9;FA;Bio;3;V;Ama;456;B;ORIG;ticket-pdf;02/02/2026;CL9;Rue 9;300;Eli;BC9;MAT9;Note";
    QTest::newRow("layout 1, every field")
        << v1 << "1" << QStringList{"R9",         "FA",  "Bio", "3",   "Rue 9", "B",   "ticket-pdf",
                                    "02/02/2026", "CL9", "Eli", "BC9", "MAT9",  "Note"}
        << 300.0 << false;
    QTest::newRow("layout 1 line read in layout 2")
        << v1 << "" << QStringList{"R9",  "FA",   "Bio",  "3", "B", "02/02/2026", "Rue 9", "300",
                                   "Eli", "MAT9", "Note", "",  ""}
        << 0.0 << false;
    QTest::newRow("two fields keep the operator defaults")
        << "R2;FV"
        << "" << QStringList{"R2", "FV", "Orvane", "1", "", "", "", "", "", "", "", "", ""} << 0.0 << false;
    QTest::newRow("fields are trimmed")
        << "  R3 ; FV ;  Ali  "
        << "" << QStringList{"R3", "FV", "Ali", "1", "", "", "", "", "", "", "", "", ""} << 0.0 << false;
    QTest::newRow("empty print mode ends the run")
        << "R4;FV;Ali;7;E;Kofi;123;Rue;;;;;  ;01/01/2026"
        << "" << QStringList{"R4", "FV", "Ali", "7", "Rue", "", "", "01/01/2026", "", "", "", "", ""} << 0.0
        << true;
    QTest::newRow("header too short for the print mode")
        << "R5;FV;Ali;7;E;Kofi;123;Rue;;;B;"
        << "" << QStringList{"R5", "FV", "Ali", "7", "Rue", "B", "", "", "", "", "", "", ""} << 0.0 << false;
    QTest::newRow("amount received that is not a number")
        << "R6;FV;Ali;7;E;Kofi;1;R;;;;;ticket;d;c;abc"
        << "" << QStringList{"R6", "FV", "Ali", "7", "R", "", "ticket", "d", "c", "", "", "", ""} << 0.0
        << false;
    QTest::newRow("header line starting with #")
        << "#R7;FV"
        << "" << QStringList{"#R7", "FV", "Orvane", "1", "", "", "", "", "", "", "", "", ""} << 0.0 << false;
}

void LectureFacture_::entete()
{
    QFETCH(QString, ligne);
    QFETCH(QString, apiVersion);
    QFETCH(QStringList, champs);
    QFETCH(double, montantRecu);
    QFETCH(bool, impressionVide);

    const LectureFacture l = lire("\n" + ligne + "\nB;Pain;1;100;118\n", dispositionEntete(apiVersion));
    const VueFacture &v = l.vue;
    const QStringList lus{v.reference,          v.typeFacture, v.nomOperateur, v.idOperateur, v.adresseClient,
                          v.codeTaxeSpecifique, v.impression,  v.dateFacture,  v.codeClient,  v.nomCaissier,
                          v.bonCommande,        v.matricule,   v.ligneLibre};
    QCOMPARE(lus, champs);
    QCOMPARE(v.montantRecu, montantRecu);
    QCOMPARE(l.impressionVide, impressionVide);
    // Reading stops at an empty print mode; otherwise the item is read.
    QCOMPARE(v.articles.size(), impressionVide ? 0 : 1);
}

void LectureFacture_::lignes_data()
{
    QTest::addColumn<QString>("corps"); // lines after the header
    QTest::addColumn<QStringList>("designations");
    QTest::addColumn<QStringList>("commentaires"); // label=value
    QTest::addColumn<double>("totalTSHT");
    QTest::addColumn<double>("totalTS");

    QTest::newRow("three-field item ignored") << "B;Pain;2\nB;Lait;1;100;118\n"
                                              << QStringList{"Lait"} << QStringList{} << 0.0 << 0.0;
    QTest::newRow("four-field item kept") << "B;Pain;2;100\n"
                                          << QStringList{"Pain"} << QStringList{} << 0.0 << 0.0;
    QTest::newRow("empty lines skipped, NUL removed")
        << avecNul("\n\nB;Pa\0in;1;100;118\n\0\0\n") << QStringList{"Pain"} << QStringList{} << 0.0 << 0.0;
    QTest::newRow("comments in input order")
        << "#;Merci;A bientot\nB;Pain;1;1;1\n#x; Livreur ;Moussa;extra\n#\n#;Seul\n"
        << QStringList{"Pain"} << QStringList{"Merci=A bientot", "Livreur=Moussa", "=", "Seul="} << 0.0
        << 0.0;
    QTest::newRow("specific taxes summed while reading")
        << "B;Biere;1;1000;1180;;50;59\nB;Vin;2;1000;1180;x;25.5;30\nB;Eau;1;1;1;;abc;\n"
        << QStringList{"Biere", "Vin", "Eau"} << QStringList{} << 75.5 << 89.0;
    QTest::newRow("CRLF line ends") << "B;Pain;1;100;118\r\n#;A;B\r\n"
                                    << QStringList{"Pain"} << QStringList{"A=B"} << 0.0 << 0.0;
}

void LectureFacture_::lignes()
{
    QFETCH(QString, corps);
    QFETCH(QStringList, designations);
    QFETCH(QStringList, commentaires);
    QFETCH(double, totalTSHT);
    QFETCH(double, totalTS);

    const VueFacture v = lire("R1;FV;Ali;7;E;Kofi;123;Rue;;;;;ticket\n" + corps).vue;
    QStringList lues;
    for (const ArticleRendu &a : v.articles)
        lues << a.designation;
    QCOMPARE(lues, designations);
    QStringList notes;
    for (const CommentaireRendu &c : v.commentaires)
        notes << c.libelle + "=" + c.valeur;
    QCOMPARE(notes, commentaires);
    QCOMPARE(v.totalTSHT, totalTSHT);
    QCOMPARE(v.totalTS, totalTS);
}

void LectureFacture_::signe_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("corps");
    QTest::addColumn<int>("signe");

    QTest::newRow("niger credit note") << "FA"
                                       << "Niger"
                                       << "B;Pain;1;100;119\n"
                                       << -1;
    QTest::newRow("niger export credit note") << "EA"
                                              << "Niger"
                                              << "B;Pain;1;100;119\n"
                                              << -1;
    QTest::newRow("niger advance") << "FT"
                                   << "Niger"
                                   << "B;Pain;1;100;119\n"
                                   << -1;
    QTest::newRow("niger export advance") << "ET"
                                          << "Niger"
                                          << "B;Pain;1;100;119\n"
                                          << -1;
    QTest::newRow("niger sale") << "FV"
                                << "Niger"
                                << "B;Pain;1;100;119\n"
                                << 1;
    QTest::newRow("benin credit note") << "FA"
                                       << "Bénin"
                                       << "B;Pain;1;100;118\n"
                                       << 1;
    QTest::newRow("niger credit note of comments only") << "FA"
                                                        << "Niger"
                                                        << "#;a;b\n#;c;d\n"
                                                        << 1;
    QTest::newRow("niger credit note, short line still counts") << "FA"
                                                                << "Niger"
                                                                << "x;y\n"
                                                                << -1;
    QTest::newRow("niger credit note, line of NULs counts") << "FA"
                                                            << "Niger" << avecNul("\0\0\n") << -1;
}

void LectureFacture_::signe()
{
    QFETCH(QString, type);
    QFETCH(QString, pays);
    QFETCH(QString, corps);
    QFETCH(int, signe);
    const VueFacture v =
        lire("R1;" + type + ";Ali;7;E;Kofi;123;Rue;;;;;ticket\n" + corps, DispositionEntete::Version2, pays)
            .vue;
    QCOMPARE(v.signe, signe);
}

void LectureFacture_::totaux_data()
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

void LectureFacture_::totaux()
{
    QFETCH(QString, pays);
    QFETCH(QString, code);
    QFETCH(QString, corps);
    QFETCH(QList<double>, attendus);
    const VueFacture v =
        lire("R1;FV;Ali;7;E;Kofi;123;Rue;;;" + code + ";;ticket\n" + corps, DispositionEntete::Version2, pays)
            .vue;
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

void LectureFacture_::resultat_data()
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

void LectureFacture_::resultat()
{
    QFETCH(QString, contenu);
    QFETCH(QStringList, champs);
    QTextStream flux(&contenu);
    const ResultatLu r = lireResultat(flux);
    QCOMPARE((QStringList{r.signature, r.mecef_nim, r.mecef_compt, r.date, r.qrcode, r.referenceOriginale}),
             champs);
}

void LectureFacture_::nombres_data()
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

void LectureFacture_::nombres()
{
    QFETCH(QString, texte);
    QFETCH(QString, attendu);
    QCOMPARE(texte, attendu);
}

QTEST_GUILESS_MAIN(LectureFacture_)
#include "tst_lecturefacture.moc"
