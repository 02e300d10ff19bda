#include <lecturefacture.h>

#include <QTextStream>
#include <QtTest>

namespace {

// Reads as the renderer does: stops at a header whose print mode is empty.
Invoice lire(const QString &entree, DispositionEntete disposition = DispositionEntete::Version2,
             const QString &pays = QStringLiteral("Bénin"))
{
    QString copie = entree;
    QTextStream flux(&copie);
    return lireFacture(flux, {disposition, pays, true});
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
    void champsDuMoteur_data();
    void champsDuMoteur();
    void encodage_data();
    void encodage();
    void nombresIllisibles_data();
    void nombresIllisibles();
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

    const Invoice v = lire("\n" + ligne + "\nB;Pain;1;100;118\n", dispositionEntete(apiVersion));
    const QStringList lus{v.reference,          v.typeFacture, v.nomOperateur, v.idOperateur, v.adresseClient,
                          v.codeTaxeSpecifique, v.impression,  v.dateFacture,  v.codeClient,  v.nomCaissier,
                          v.bonCommande,        v.matricule,   v.ligneLibre};
    QCOMPARE(lus, champs);
    QCOMPARE(v.montantRecu, montantRecu);
    QCOMPARE(v.impressionVide, impressionVide);
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

    const Invoice v = lire("R1;FV;Ali;7;E;Kofi;123;Rue;;;;;ticket\n" + corps);
    QStringList lues;
    for (const InvoiceItem &a : v.articles)
        lues << a.designation;
    QCOMPARE(lues, designations);
    QStringList notes;
    for (const InvoiceComment &c : v.commentaires)
        notes << c.libelle + "=" + c.valeur;
    QCOMPARE(notes, commentaires);
    const TotauxFacture t = calculerTotaux(v, "Bénin");
    QCOMPARE(t.totalTSHT, totalTSHT);
    QCOMPARE(t.totalTS, totalTS);
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
    const Invoice v =
        lire("R1;" + type + ";Ali;7;E;Kofi;123;Rue;;;;;ticket\n" + corps, DispositionEntete::Version2, pays);
    QCOMPARE(v.signe, signe);
}

void LectureFacture_::champsDuMoteur_data()
{
    QTest::addColumn<QString>("ligne");
    QTest::addColumn<QString>("apiVersion");
    // contactClient, contactClient2, factureOriginale, codeTaxeSpecifique, impression
    QTest::addColumn<QStringList>("champs");

    QTest::newRow("layout 2: contacts and original invoice at 8, 9 and 11")
        << "R1;FA;Ali;7;E;Kofi;123;Rue;97;01; B ; EM01-12 ;ticket"
        << "" << QStringList{"97", "01", "EM01-12", "B", "ticket"};
    QTest::newRow("layout 1: original invoice at 8, no contacts")
        << "R1;FA;Ali;7;E;Kofi;123; B ; EM01-12 ;ticket;01/01/2026;CL;Rue"
        << "1" << QStringList{"", "", "EM01-12", "B", "ticket"};
    QTest::newRow("layout 1 short of the original invoice") << "R1;FV;Ali;7;E;Kofi;123;AIB1"
                                                            << "1" << QStringList{"", "", "", "AIB1", ""};
}

// Header fields the engine alone uses, read by the layout the settings name.
void LectureFacture_::champsDuMoteur()
{
    QFETCH(QString, ligne);
    QFETCH(QString, apiVersion);
    QFETCH(QStringList, champs);
    QString copie = ligne + "\nB;Pain;2;100;118\n";
    QTextStream flux(&copie);
    // The engine reads on past an empty print mode, and totals with the header's code.
    const Invoice f = lireFacture(flux, {dispositionEntete(apiVersion), "Bénin", false});
    QCOMPARE((QStringList{f.contactClient, f.contactClient2, f.factureOriginale, f.codeTaxeSpecifique,
                          f.impression}),
             champs);
    QCOMPARE(f.champsEntete, int(ligne.count(';') + 1));
    QCOMPARE(f.totalFacture, 236 + tauxTaxe(f.codeTaxeSpecifique, "Bénin") * 2);
}

void LectureFacture_::encodage_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<int>("encodage");
    QTest::newRow("7 is Latin-1") << "7" << int(QStringConverter::Latin1);
    QTest::newRow("0 is UTF-8") << "0" << int(QStringConverter::Utf8);
    QTest::newRow("2 is UTF-16LE") << "2" << int(QStringConverter::Utf16LE);
    QTest::newRow("8 is the system code page") << "8" << int(QStringConverter::System);
    QTest::newRow("not a number is UTF-8") << "latin1" << int(QStringConverter::Utf8);
    QTest::newRow("above 8 falls back to UTF-8") << "9" << int(QStringConverter::Utf8);
    QTest::newRow("negative falls back to UTF-8") << "-1" << int(QStringConverter::Utf8);
}

void LectureFacture_::encodage()
{
    QFETCH(QString, texte);
    QFETCH(int, encodage);
    QCOMPARE(int(encodageEntree(texte)), encodage);
}

void LectureFacture_::nombresIllisibles_data()
{
    QTest::addColumn<QString>("corps");
    QTest::addColumn<QString>("motif"); // empty: every quantity and price is readable

    QTest::newRow("numbers") << "B;Pain;2;100;118\nA;Eau;0.333;1e3;+1000.\n"
                             << "";
    QTest::newRow("empty fields count as 0") << "B;Pain;;;\nB;Lait;1; ;118;;;;\nA;Eau;1;100\n"
                                             << "";
    QTest::newRow("comma decimal quantity")
        << "B;Pain;2;100;118\nB;Lait;0,333;100;118\n"
        << "Ligne 3 (article 2), champ quantite: \"0,333\" n'est pas un nombre (le separateur decimal "
           "est le point)";
    QTest::newRow("text quantity") << "B;Pain;abc;100;118\n"
                                   << "Ligne 2 (article 1), champ quantite: \"abc\" n'est pas un nombre";
    QTest::newRow("price without tax") << "B;Pain;1;1 000;1180\n"
                                       << "Ligne 2 (article 1), champ prixHT: \"1 000\" n'est pas un nombre";
    QTest::newRow("price with tax, empty lines and comments counted as lines of the file")
        << "\n#A;Merci\n\nB;Pain;1;100;11,8\n"
        << "Ligne 5 (article 1), champ prixTTC: \"11,8\" n'est pas un nombre (le separateur decimal est "
           "le point)";
    QTest::newRow("the first fault of the first item is named")
        << "B;Pain;x;y;z\nB;Lait;a;1;1\n"
        << "Ligne 2 (article 1), champ quantite: \"x\" n'est pas un nombre";
    // The rule is about quantities and prices; other amounts keep their reading.
    QTest::newRow("specific tax and client share are not the rule's") << "B;Pain;1;100;118;;t;u;v\n"
                                                                      << "";
    QTest::newRow("an ignored line of 3 fields") << "B;Pain;abc\n"
                                                 << "";
}

// A quantity or price that is written but not a number is named with its line and field; the
// engine and the renderer refuse the invoice with it.
void LectureFacture_::nombresIllisibles()
{
    QFETCH(QString, corps);
    QFETCH(QString, motif);
    const Invoice f = lire("R1;FV;Ali;7;E;Kofi;123;Rue;;;;;ticket\n" + corps);
    QCOMPARE(nombreIllisible(f), motif);
    // Read line by line without the file, an item is named by its number alone.
    if (!motif.isEmpty()) {
        Invoice g;
        for (const QString &ligne : ("R1;FV;Ali\n" + corps).split('\n', Qt::SkipEmptyParts)) {
            lireLigne(ligne, g, {});
            ++g.nombreLignes;
        }
        QVERIFY2(nombreIllisible(g).startsWith("Article "), qPrintable(nombreIllisible(g)));
    }
}

QTEST_GUILESS_MAIN(LectureFacture_)
#include "tst_lecturefacture.moc"
