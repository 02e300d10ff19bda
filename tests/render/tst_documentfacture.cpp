#include "comparaisontexte.h"
#include "lecturesrendu.h"
#include "resultatsexemple.h"

#include <colonnesticket.h>
#include <document.h>

#include <lecturefacture.h>
#include <parametres.h>

#include <QFile>
#include <QTextStream>
#include <QtTest>

namespace {

// A version-2 header: reference R1, sale FV by Ali (2), payment E, client Kofi (123), ticket mode,
// dated 01/01/2026; `changes` replaces fields by position.
QString entete(const QList<QPair<int, QString>> &changes = {})
{
    QStringList c{"R1", "FV", "Ali",    "2",          "E", "Kofi", "123", "", "", "",
                  "",   "",   "ticket", "01/01/2026", "",  "",     "",    "", "", ""};
    for (const auto &[position, valeur] : changes)
        c[position] = valeur;
    return c.join(';') + '\n';
}

const QString benin = QStringLiteral("pays=\"Bénin\" entreprise=\"Boulangerie\" message=\"Merci\"");
const QString niger = QStringLiteral("pays=\"Niger\" entreprise=\"Boulangerie\" message=\"Merci\"");
const QString pain = QStringLiteral("B;Pain;2;100;118\n");

} // namespace

class DocumentFacture : public QObject
{
    Q_OBJECT

private slots:
    void fragments_data();
    void fragments();
    void largeursDuTicketExemple();
    void ticketEtroit_data();
    void ticketEtroit();
    void documentsComplets_data();
    void documentsComplets();
};

void DocumentFacture::fragments_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("entree");
    QTest::addColumn<QString>("ligneResultat"); // null: no result file
    QTest::addColumn<bool>("a4");
    QTest::addColumn<QStringList>("presents");
    QTest::addColumn<QStringList>("absents");

    const QString nul; // no result file

    // Invoice types: title, client heading, closing sentence, net label.
    QTest::newRow("sale, A4") << benin << entete() + pain << nul << true
                              << QStringList{"<b>Doit:</b><br/><br/><b>Kofi</b><br/>",
                                             "<h1 style=\"text-align:center\">Facture</h1>",
                                             "</td></tr></table>Arrêté la présente facture à la somme "
                                             "de:&nbsp;236&nbsp;F&nbsp;CFA.<br/><br/>"}
                              << QStringList{};
    QTest::newRow("sale, ticket with space saving")
        << benin + " economieEspace=\"1\"" << entete() + pain << nul << false << QStringList{"\nDoit: Kofi\n"}
        << QStringList{"Doit:\n", "Arrêté"};
    QTest::newRow("credit note")
        << benin << entete({{1, "FA"}}) + pain << nul << true
        << QStringList{"<b>Au crédit de:</b><br/><br/><b>Kofi</b>",
                       "<h1 style=\"text-align:center\">Facture d'avoir</h1>",
                       "Boulangerie reconnait vous devoir la somme de:&nbsp;236&nbsp;F&nbsp;CFA.<br/><br/>"}
        << QStringList{"Doit:", "Arrêté"};
    QTest::newRow("export sale")
        << benin << entete({{1, "EV"}}) + pain << nul << true
        << QStringList{"<b>Doit:</b>", ">Facture d'exportation</h1>",
                       "Arrêté la présente facture à la somme de:&nbsp;236&nbsp;F&nbsp;CFA."}
        << QStringList{};
    QTest::newRow("export credit note")
        << benin << entete({{1, "EA"}}) + pain << nul << true
        << QStringList{"<b>Au crédit de:</b>", ">Facture d'avoir d'exportation</h1>",
                       "Boulangerie reconnait vous devoir la somme de:&nbsp;236"}
        << QStringList{};
    QTest::newRow("advance") << benin << entete({{1, "FT"}}) + pain << nul << true
                             << QStringList{"<b>Au crédit de:</b>", ">Facture d'accompte</h1>",
                                            "Boulangerie reconnait vous devoir la somme de:&nbsp;236"}
                             << QStringList{};
    QTest::newRow("export advance") << benin << entete({{1, "ET"}}) + pain << nul << false
                                    << QStringList{"\nAu crédit de:\nKofi\n",
                                                   "\nFacture d'accompte d'exportation n° R1 du 01/01/2026\n"}
                                    << QStringList{"reconnait"};
    QTest::newRow("net label of a sale") << benin << entete({{10, "AIB1"}}) + pain << nul << true
                                         << QStringList{"<b>AIB&nbsp;1%&nbsp;:&nbsp;</b>2<br/"
                                                        "><b>Net&nbsp;à&nbsp;Payer:&nbsp;</b>238<br/><br/>",
                                                        "la somme de:&nbsp;238&nbsp;F&nbsp;CFA."}
                                         << QStringList{};
    QTest::newRow("net label of a credit note")
        << benin << entete({{1, "FA"}, {10, "AIB1"}}) + pain << nul << true
        << QStringList{"<b>AIB&nbsp;1%&nbsp;:&nbsp;</b>2<br/><b>Net&nbsp;en&nbsp;votre&nbsp;faveur:&nbsp;</"
                       "b>238<br/><br/>"}
        << QStringList{};
    QTest::newRow("unknown type")
        << benin << entete({{1, "XX"}, {10, "AIB1"}}) + pain << nul << true
        << QStringList{"<h1 style=\"text-align:center\"></h1>",
                       "</td></tr></table><br/><br/><b>Kofi</b><br/>",
                       "<b>AIB&nbsp;1%&nbsp;:&nbsp;</b>2<br/></td></tr></table><table><tr>",
                       "<b>Total&nbsp;TTC:&nbsp;</b>236<br/>"}
        << QStringList{"Doit:", "Au crédit de:", "Net ", "F CFA."};
    QTest::newRow("no client") << benin << entete({{5, ""}}) + pain << nul << true
                               << QStringList{"</td></tr></table><h1"} << QStringList{"Doit:"};

    // Sign of a credit note: negative in Niger only; quantities and rates keep their sign.
    QTest::newRow("niger credit note")
        << niger << entete({{1, "FA"}}) + pain << nul << true
        << QStringList{"<td style=\"text-align:right\">2</td><td style=\"text-align:right\">-100</td><td "
                       "style=\"text-align:right\">18 %</td><td style=\"text-align:right\">-236</td></tr>",
                       "<b>Total:&nbsp;HT&nbsp;[B]&nbsp;=&nbsp;-200</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[B]&nbsp;19&nbsp;%&nbsp;=&nbsp;-36</b><br/>",
                       "<b>Total&nbsp;HT:&nbsp;</b>-200<br/>",
                       "<b>Total&nbsp;TVA:&nbsp;</b>-36<br/>",
                       "<b>Total&nbsp;TTC:&nbsp;</b>-236<br/>",
                       "reconnait vous devoir la somme de:&nbsp;-236&nbsp;F&nbsp;CFA."}
        << QStringList{};
    QTest::newRow("benin credit note") << benin << entete({{1, "FA"}}) + pain << nul << true
                                       << QStringList{"<b>Total:&nbsp;HT&nbsp;[B]&nbsp;=&nbsp;200</b><b> |\u2060&nbsp;"
                                                      "TVA&nbsp;[B]&nbsp;18&nbsp;%&nbsp;=&nbsp;36</b><br/>",
                                                      "<b>Total&nbsp;TTC:&nbsp;</b>236<br/>"}
                                       << QStringList{"-2", "-1"};
    QTest::newRow("niger credit note ticket, minus sign widens the columns")
        << niger << entete({{1, "FA"}}) + "B;Pain;2;1000;1180\n"
        << nul << false << QStringList{"\nArticles|Qt| PUTTC|  Tot.\n\nPain (B)| 2|-1 180|-2 360\n\n"}
        << QStringList{};
    QTest::newRow("niger sale stays positive")
        << niger << entete() + pain << nul << true << QStringList{"<b>Total&nbsp;TTC:&nbsp;</b>236<br/>"}
        << QStringList{"-236"};

    // Space saving on the ticket.
    const QString deuxArticles = entete() + pain + "B;Lait;1;100;118\n";
    QTest::newRow("ticket without space saving")
        << benin << deuxArticles << nul << false
        << QStringList{"\n\nFacture n° R1 du 01/01/2026\n\nArticles|Qt|PUTTC|Tot.\n\nPain (B)| 2|  118| "
                       "236\n\nLait (B)| 1|  118| 118\n\n\nTotal: HT [B] = 300 | TVA [B] 18 % = 54\n\nTotal "
                       "HT: 300\n",
                       "Boulangerie\n\n\nDoit:\nKofi\nIFU: 123\n"}
        << QStringList{};
    QTest::newRow("ticket with space saving")
        << benin + " economieEspace=\"1\"" << deuxArticles << nul << false
        << QStringList{"\nDoit: Kofi\nIFU: 123\nFacture n° R1 du 01/01/2026\nPain (B)| 2|  118| 236\nLait "
                       "(B)| 1|  118| 118\n\nTotal: HT [B] = 300 | TVA [B] 18 % = 54\nTotal HT: 300\n"}
        << QStringList{"Articles", "\n\nFacture"};
    QTest::newRow("ticket with space saving and no address")
        << benin + " economieEspace=\"1\" rccm=\"RB1\" ifu=\"321\"" << entete() + pain << nul << false
        << QStringList{"Boulangerie\n - \nRCCM: RB1 - IFU: 321\n"} << QStringList{};
    QTest::newRow("company details without space saving")
        << benin + " adresse=\"Lot 12\" telephone=\"+229\" email=\"a@b.bj\" rccm=\"RB1\" ifu=\"321\""
        << entete() + pain << nul << true
        << QStringList{"<td><b>Boulangerie</b><br/><b>Adressse: </b>Lot "
                       "12<br/><b>Téléphone: </b>+229<br/><b>E-mail: </b>a@b.bj<br/"
                       "><b>RCCM: </b>RB1<br/><b>IFU: </b>321<br/></td><td "
                       "width=\"30%\"><b>Date: </b>01/01/2026<br/><b>Ref.: </b>R1<br/></td></tr></"
                       "table>"}
        << QStringList{};
    QTest::newRow("company details with space saving, A4")
        << niger + " economieEspace=\"1\" adresse=\"Lot 12\" telephone=\"+227\" email=\"a@b.ne\" "
                   "rccm=\"RN1\" ifu=\"321\""
        << entete() + pain << nul << true
        << QStringList{"<b>Boulangerie</b><br/>Lot 12 - +227<br/><b>RCCM: </b>RN1 - "
                       "<b>NIF: </b>321<br/>",
                       "<b>Doit:</b> <br/><b>Kofi</b><br/><b>NIF: </b>123<br/>"}
        << QStringList{"a@b.ne"};

    // Logo, A4 only.
    QTest::newRow("logo beside the company")
        << benin + " logo=\"logo.png\"" << entete() + pain << nul << true
        << QStringList{"<html><head></head><body><table><tr><td><img height=\"60\" "
                       "src=\"logo.png\"\\></td><td><b>Boulangerie</b>"}
        << QStringList{};
    QTest::newRow("logo on top")
        << benin + " logo=\"logo.png\" logoTop=\"1\"" << entete() + pain << nul << true
        << QStringList{"<table><tr><td colspan=\"2\"><img src=\"logo.png\"\\></td></tr><tr><td><b>"}
        << QStringList{};
    QTest::newRow("no logo on the ticket") << benin + " logo=\"logo.png\"" << entete() + pain << nul << false
                                           << QStringList{"Boulangerie\n"} << QStringList{"logo.png", "<"};

    // Header lines.
    QTest::newRow("purchase order, free line, registration")
        << benin
        << entete({{17, "BC-17"}, {19, "Livraison"}, {18, "MAT-3"}, {14, "C-42"}, {7, "Rue 1"}}) + pain << nul
        << true
        << QStringList{"<b>Ref.: </b>R1<br/><b>Bon&nbsp;de&nbsp;commande: </b>BC-17<br/"
                       ">Livraison<br/><b>Matricule: </b>MAT-3<br/></td></tr></table>",
                       "<b>Kofi</b><br/><b>Adresse: </b>Rue "
                       "1<br/><b>Code&nbsp;client: </b>C-42<br/><b>IFU: </b>123<br/><h1"}
        << QStringList{};

    // Tax-group summary and totals.
    QTest::newRow("niger exempt only")
        << niger << entete() + "A;Riz;1;1000;1000\n"
        << nul << true
        << QStringList{"<td>Riz (A-EX)</td>", "<b>Exonérés&nbsp;=&nbsp;1&nbsp;000</b><br/>",
                       "<b>Total&nbsp;TVA:&nbsp;</b>0<br/>"}
        << QStringList{"Total HT: ", "TVA [A]"};
    QTest::newRow("benin exempt only")
        << benin << entete() + "A;Riz;1;1000;1000\n"
        << nul << true
        << QStringList{"<b>Total:&nbsp;HT&nbsp;[A]&nbsp;=&nbsp;1&nbsp;000</b><br/>",
                       "<b>Total&nbsp;HT:&nbsp;</b>1&nbsp;000<br/>"}
        << QStringList{"Exonérés"};
    QTest::newRow("niger rates of groups B and D")
        << niger << entete() + "D;Y;1;1000;1050\nB;X;1;1000;1190\nC;Z;1;1000;1100\n"
        << nul << true
        << QStringList{"<b>Total:&nbsp;HT&nbsp;[B]&nbsp;=&nbsp;1&nbsp;000</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[B]&nbsp;19&nbsp;%&nbsp;=&nbsp;190</b><br/"
                       "><b>Total:&nbsp;HT&nbsp;[C]&nbsp;=&nbsp;1&nbsp;000</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[C]&nbsp;=&nbsp;100</b><br/"
                       "><b>Total:&nbsp;HT&nbsp;[D]&nbsp;=&nbsp;1&nbsp;000</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[D]&nbsp;5&nbsp;%&nbsp;=&nbsp;50</b><br/>",
                       "<b>Total&nbsp;HT:&nbsp;</b>3&nbsp;000<br/><b>Total&nbsp;TVA:&nbsp;</b>340<br/"
                       "><b>Total&nbsp;TTC:&nbsp;</b>3&nbsp;340<br/><br/>"}
        << QStringList{};
    QTest::newRow("benin rate of group D")
        << benin << entete() + "D;Y;1;1000;1180\n"
        << nul << true
        << QStringList{"<b>Total:&nbsp;HT&nbsp;[D]&nbsp;=&nbsp;1&nbsp;000</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[D]&nbsp;18&nbsp;%&nbsp;=&nbsp;180</b><br/>"}
        << QStringList{};
    QTest::newRow("exempt VAT left out of the VAT total")
        << benin << entete() + "A;Y;1;1000;1100\n"
        << nul << true
        << QStringList{"<b>Total:&nbsp;HT&nbsp;[A]&nbsp;=&nbsp;1&nbsp;000</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[A]&nbsp;=&nbsp;100</b><br/>",
                       "<b>Total&nbsp;TVA:&nbsp;</b>0<br/>", "<b>Total&nbsp;TTC:&nbsp;</b>1&nbsp;100<br/>"}
        << QStringList{};
    QTest::newRow("group with nothing to sum gives an empty line")
        << benin << entete() + "C;Don;0;0;0\n"
        << nul << true << QStringList{"<table width=\"100%\"><tr><td><br/></td><td nowrap>"} << QStringList{};
    QTest::newRow("specific tax: six columns")
        << benin << entete() + "B;Biere;1;1000;1180;;50;59\n"
        << nul << true
        << QStringList{"<th style=\"text-align:right\">Prix Unitaire HT</th><th "
                       "style=\"text-align:right\">TS</th><th style=\"text-align:right\">TVA</th>",
                       "<tr><td>Biere (B)</td><td style=\"text-align:right\">1</td><td "
                       "style=\"text-align:right\">1&nbsp;000</td><td style=\"text-align:right\">50</td><td "
                       "style=\"text-align:right\">18 %</td><td "
                       "style=\"text-align:right\">1&nbsp;239</td></tr>",
                       "<tr><td>Total</td><td style=\"text-align:right\">1</td><td></td><td "
                       "style=\"text-align:right\">50</td><td></td><td "
                       "style=\"text-align:right\">1&nbsp;239</td></tr></table>",
                       "<b>Total:&nbsp;HT&nbsp;[B]&nbsp;=&nbsp;1&nbsp;000</b><b> |\u2060&nbsp;"
                       "TS&nbsp;[B]&nbsp;=&nbsp;50</b><b> |\u2060&nbsp;"
                       "TVA&nbsp;[B]&nbsp;18&nbsp;%&nbsp;=&nbsp;189</b><br/>",
                       "<b>Total&nbsp;HT:&nbsp;</b>1&nbsp;000<br/><b>TS:&nbsp;</b>50<br/"
                       "><b>Total&nbsp;TVA:&nbsp;</b>189<br/><b>Total&nbsp;TTC:&nbsp;</b>1&nbsp;239<br/>"}
        << QStringList{};
    QTest::newRow("no specific tax: five columns")
        << benin << entete() + "B;Pain;1.5;1000;1180\n"
        << nul << true
        << QStringList{"<th style=\"text-align:right\">Prix Unitaire HT</th><th "
                       "style=\"text-align:right\">TVA</th>",
                       "<tr><td>Pain (B)</td><td style=\"text-align:right\">1,5</td><td "
                       "style=\"text-align:right\">1&nbsp;000</td><td style=\"text-align:right\">18 "
                       "%</td><td style=\"text-align:right\">1&nbsp;770</td></tr>",
                       "<tr><td>Total</td><td style=\"text-align:right\">1,5</td><td></td><td></td><td "
                       "style=\"text-align:right\">1&nbsp;770</td></tr>"}
        << QStringList{">TS<", "TS: "};
    QTest::newRow("line rate rounded half away from zero")
        << benin << entete() + "B;X;1;1000;1185\nE;Y;1;0;50\n"
        << nul << true
        << QStringList{"<td style=\"text-align:right\">19 %</td><td "
                       "style=\"text-align:right\">1&nbsp;185</td>",
                       "<td style=\"text-align:right\"></td><td style=\"text-align:right\">50</td>"}
        << QStringList{};
    QTest::newRow("seven-digit VAT printed exactly")
        << benin << entete() + "B;Machine;1;10000000;11234567\n"
        << nul << true
        << QStringList{"<b>Total&nbsp;TVA:&nbsp;</b>1&nbsp;234&nbsp;567<br/>",
                       " |\u2060&nbsp;TVA&nbsp;[B]&nbsp;18&nbsp;%&nbsp;=&nbsp;1&nbsp;234&nbsp;567</b>"}
        << QStringList{};

    // Withholding.
    QTest::newRow("benin withholding AIB1")
        << benin << entete({{10, "AIB1"}}) + "B;X;1;10000;11800\n"
        << nul << true
        << QStringList{"<b>AIB&nbsp;1%&nbsp;:&nbsp;</b>100<br/><b>Net&nbsp;à&nbsp;Payer:&nbsp;</"
                       "b>11&nbsp;900<br/><br/>",
                       "la somme de:&nbsp;11&nbsp;900&nbsp;F&nbsp;CFA."}
        << QStringList{};
    QTest::newRow("unknown withholding code")
        << benin << entete({{10, "ZZ"}}) + "B;X;1;10000;11800\n"
        << nul << true
        << QStringList{"<b>AIB&nbsp;0%&nbsp;:&nbsp;</b>0<br/><b>Net&nbsp;à&nbsp;Payer:&nbsp;</"
                       "b>11&nbsp;800<br/>"}
        << QStringList{};
    QTest::newRow("niger withholding counts the specific tax once")
        << niger << entete({{10, "B"}}) + "B;X;1;1000;1190;;100;119\n"
        << nul << true
        << QStringList{"<b>Précompte&nbsp;ISB&nbsp;5%&nbsp;:&nbsp;</b>65<br/"
                       "><b>Net&nbsp;à&nbsp;Payer:&nbsp;</b>1&nbsp;374<br/><br/>"}
        << QStringList{};
    QTest::newRow("no withholding code")
        << benin << entete() + pain << nul << true << QStringList{} << QStringList{"AIB", "Net "};

    // Amount received, insurance split, comments.
    QTest::newRow("amount received and change")
        << benin << entete({{15, "5000"}}) + pain << nul << true
        << QStringList{"<b>Montant&nbsp;reçu:&nbsp;</b>5&nbsp;000&nbsp;F&nbsp;CFA.<br/"
                       "><b>Monnaie&nbsp;rendue:&nbsp;</b>4&nbsp;764&nbsp;F&nbsp;CFA.<br/><br/>"}
        << QStringList{};
    QTest::newRow("received less than the net: no change line")
        << benin << entete({{15, "100"}}) + pain << nul << true
        << QStringList{"<b>Montant&nbsp;reçu:&nbsp;</b>100&nbsp;F&nbsp;CFA.<br/><br/>"}
        << QStringList{"Monnaie rendue"};
    QTest::newRow("received half a franc less than the net: change rounds to 0")
        << benin << entete({{15, "235.6"}}) + pain << nul << false
        << QStringList{"Montant reçu: 236 F CFA.\nMonnaie rendue: 0 F CFA.\n\n"} << QStringList{"-"};
    QTest::newRow("received exactly the net: change 0")
        << benin << entete({{15, "236"}}) + pain << nul << true
        << QStringList{"<b>Monnaie&nbsp;rendue:&nbsp;</b>0&nbsp;F&nbsp;CFA.<br/><br/>"} << QStringList{};
    QTest::newRow("insurance split")
        << benin << entete({{15, "1000"}}) + "B;Soin;1;1000;1180;;;;60\n"
        << nul << true
        << QStringList{"<b>Monnaie&nbsp;rendue:&nbsp;</b>292&nbsp;F&nbsp;CFA.<br/><br/><b>Montant payé par "
                       "le client</b><br/><b>HT:&nbsp;</b>600<b>  |\u2060&nbsp;</b><b>TVA:&nbsp;</b>108<b>  |\u2060&nbsp;"
                       "</b><b>TTC:&nbsp;</b>708<br/><b>Montant supporté par "
                       "l'Assurance</b><br/><b>HT:&nbsp;</b>400<b>  |\u2060&nbsp;</b><b>TVA:&nbsp;</b>72<b>  |\u2060&nbsp;"
                       "</b><b>TTC:&nbsp;</b>472<br/><br/>"}
        << QStringList{"Net: "};
    QTest::newRow("insurance split with withholding, ticket")
        << benin << entete({{10, "AIB5"}}) + "B;Soin;1;1000;1180;;100;118;60\n"
        << nul << false
        << QStringList{"AIB 5% : 55\nNet à Payer: 1 353\n\n",
                       "\nMontant payé par le client\nHT: 600  |  TVA: 119  |  TTC: 779  |  AIB: 33  |  Net: "
                       "812\nMontant supporté par l'Assurance\nHT: 400  |  TVA: 79  |  TTC: 519  |  AIB: 22  "
                       "|  Net: 541\n\n"}
        << QStringList{};
    QTest::newRow("client pays everything")
        << benin << entete() + "B;Soin;1;1000;1180;;;;100\n"
        << nul << true << QStringList{} << QStringList{"Montant payé", "Assurance"};
    QTest::newRow("comments") << benin << entete() + pain + "#;Merci;A bientot\n#x;Livreur;Moussa\n#\n"
                              << ligneCertifiee("R1") << false
                              << QStringList{"\nMerci: A bientot\nLivreur: Moussa\n: \n\nMode de reglement"}
                              << QStringList{};

    // Fiscal block, and the mark of an invoice that is not certified.
    const QString marqueA4 =
        "<p style=\"font-size:18pt; font-weight:bold\">FACTURE NON CERTIFIEE</p>Cette facture "
        "n'a pas été certifiée: elle ne porte ni code fiscal ni code QR.<br/><br/>";
    const QString marqueTicket =
        "FACTURE NON CERTIFIEE\nCette facture n'a pas été certifiée: elle ne porte ni code "
        "fiscal ni code QR.\n\n";
    const QStringList sansBlocFiscal{"Vendeur",   "Code MECeF", "Mode de reglement",
                                     "Connector", "<img",       "NIM"};
    QTest::newRow("without result file: marked, no fiscal block")
        << benin << entete({{16, "Awa"}}) + pain << nul << true
        << QStringList{"<table><tr><td>" + marqueA4 + "</td></tr></table><br/>Merci"} << sansBlocFiscal;
    QTest::newRow("without result file, ticket: marked at the head and in place of the fiscal block")
        << benin << entete() + pain + "#;Merci;A bientot\n"
        << nul << false
        << QStringList{"FACTURE NON CERTIFIEE\n\nBoulangerie\n",
                       "\nMerci: A bientot\n\n" + marqueTicket + "\nMerci"}
        << sansBlocFiscal;
    QTest::newRow("without result file, ticket with space saving")
        << benin + " economieEspace=\"1\"" << entete() + pain << nul << false
        << QStringList{"FACTURE NON CERTIFIEE\nBoulangerie\n", marqueTicket} << sansBlocFiscal;
    QTest::newRow("result of another invoice")
        << benin << entete() + pain << ligneCertifiee("R2") << true
        << QStringList{"<td>" + marqueA4 + "</td></tr></table>"} << sansBlocFiscal;
    QTest::newRow("result without QR code")
        << benin << entete() + pain << QString(ligneCertifiee("R1")).replace(texteQrCertifie, "") << false
        << QStringList{marqueTicket} << sansBlocFiscal;
    QTest::newRow("result without fiscal code")
        << benin << entete() + pain << QString(ligneCertifiee("R1")).replace(signatureCertifiee, "") << false
        << QStringList{marqueTicket} << sansBlocFiscal;
    QTest::newRow("result without NIM")
        << benin << entete() + pain << QString(ligneCertifiee("R1")).replace("\tEM01020304\t", "\t\t") << true
        << QStringList{marqueA4} << sansBlocFiscal;
    QTest::newRow("demonstration result: fiscal block under its own mark, A4")
        << benin << entete() + pain << ligneDemonstration("R1") << true
        << QStringList{"<td><p style=\"font-size:18pt; font-weight:bold\">DEMONSTRATION<br/>FACTURE "
                       "NON CERTIFIEE</p>Résultat de démonstration: aucun module de contrôle fiscal n'a "
                       "certifié "
                       "cette facture.<br/><br/><b>Mode&nbsp;de&nbsp;reglement: </b>Espèces",
                       "<br/>DEMO-5AB7-\u2060CD9E-\u2060F2GH-4JK6-\u2060LM8N<br/>",
                       "<img width=\"100\" height=\"100\" src=\"qrcode:" + texteQrDemonstration + "\">"}
        << QStringList{};
    QTest::newRow("demonstration result, ticket")
        << benin << entete() + pain << ligneDemonstration("R1") << false
        << QStringList{"DEMONSTRATION\nFACTURE NON CERTIFIEE\n\nBoulangerie\n",
                       "\nDEMONSTRATION\nFACTURE NON CERTIFIEE\nRésultat de démonstration: aucun module de "
                       "contrôle "
                       "fiscal n'a certifié cette facture.\n\nMode de reglement: Espèces\n",
                       "\n" + signatureDemonstration + "\n"}
        << QStringList{};
    // No line breaks inside a fiscal code: a word joiner wherever a line could break in it.
    const QString signatureA4 = "QVTK-3JZF-7HNC-\u2060M2WD-\u2060R5XB-8LPE";
    QTest::newRow("with result file, A4")
        << benin + " isf=\"ISF1\"" << entete({{16, "Awa"}}) + pain << ligneCertifiee("R1") << true
        << QStringList{"<table><tr><td><b>Mode&nbsp;de&nbsp;reglement: </b>Espèces<br/><br/>"
                       "<b>Connector: </b>Orvane MCF "
                       "API<br/><br/><br/><br/><br/><b>Vendeur: </b>Ali&nbsp;|\u2060&"
                       "nbsp;2<br/><b>Caissier: </b>Awa<br/><br/><b>Code MECeF / DGI </b><br/>" +
                       signatureA4 +
                       "<br/></td><td "
                       "nowrap><b>MECeF&nbsp;NIM: </b>EM01020304<br/><b>MECeF&nbsp;Compteurs: </"
                       "b>82/"
                       "87&nbsp;FV<br/><b>MECeF&nbsp;Heure: </b>09/01/2020&nbsp;"
                       "13:55:42<br/><b>ISF: </b>ISF1<br/></"
                       "td><td><img width=\"100\" height=\"100\" src=\"qrcode:" +
                       texteQrCertifie + "\"></td></tr></table><br/>Merci"}
        << QStringList{"Référence facture originale", "CERTIFIEE", "DEMONSTRATION"};
    QTest::newRow("with result file, niger refund, ticket")
        << niger << entete({{1, "FA"}, {4, "V"}}) + pain << ligneCertifiee("R1", "EM01020304-12") << false
        << QStringList{"\nMode de reglement: Virement\n\nRéférence facture originale: "
                       "EM01020304-12\n\nVendeur: Ali "
                       "| 2\n\nCode SECeF / DGI \n" +
                       signatureCertifiee +
                       "\n\nSECeF NIM: EM01020304\nSECeF Compteurs: 82/87 FV\nSECeF Heure: 09/01/2020 "
                       "13:55:42\n\nMerci"}
        << QStringList{"Connector", "Caissier", "ISF", "CERTIFIEE"};
    QTest::newRow("with result file, ticket with space saving")
        << benin + " economieEspace=\"1\"" << entete({{4, "Q"}}) + pain << ligneCertifiee("R1") << false
        << QStringList{"\nMode de reglement: \n\nConnector: Orvane MCF API\nVendeur: Ali | 2\n\nCode MECeF / "
                       "DGI \n" +
                       signatureCertifiee + "\nMECeF NIM: EM01020304\n"}
        << QStringList{"CERTIFIEE"};

    // Texts that look like markup print as written: every text of the settings, the invoice and the
    // result file is escaped on the A4 invoice, and only there.
    const QString balises = "A<B & \"C\"";
    const QString echappe = "A&lt;B &amp; &quot;C&quot;"; // also how app.xml writes it
    const QString colle = QString(echappe).replace(" ", "&nbsp;");
    const QString reglagesBalises =
        benin.left(benin.indexOf(" entreprise")) + " entreprise=\"Ets A&lt;B &amp; Fils &lt;Cotonou&gt;\"" +
        QString(" adresse=\"%1\" telephone=\"%1\" email=\"%1\" rccm=\"%1\" ifu=\"%1\" "
                "isf=\"%1\" message=\"%1\" logo=\"%1\"")
            .arg(echappe);
    QList<QPair<int, QString>> champs;
    for (int position : {0, 2, 3, 5, 6, 7, 13, 14, 16, 17, 18, 19})
        champs.append({position, balises});
    const QString factureBalises =
        entete(champs) + balises + ";" + balises + ";1;100;118\n#;" + balises + ";" + balises + "\n";
    const QString resultatBalises =
        QStringList{balises, "87", balises, balises, balises, balises, "QR", balises}.join('\t');
    QTest::newRow("markup in every field, A4")
        << reglagesBalises << factureBalises << resultatBalises << true
        << QStringList{"<img height=\"60\" src=\"" + echappe + "\"\\>",
                       "<b>Ets A&lt;B &amp; Fils &lt;Cotonou&gt;</b><br/>",
                       "<b>Adressse: </b>" + echappe + "<br/><b>Téléphone: </b>" + colle +
                           "<br/><b>E-mail: </b>" + colle + "<br/><b>RCCM: </b>" + colle +
                           "<br/><b>IFU: </b>" + colle + "<br/>",
                       "<b>Date: </b>" + colle + "<br/><b>Ref.: </b>" + colle +
                           "<br/><b>Bon&nbsp;de&nbsp;commande: </b>" + colle + "<br/>" + echappe +
                           "<br/><b>Matricule: </b>" + colle + "<br/>",
                       "<b>" + echappe + "</b><br/><b>Adresse: </b>" + echappe +
                           "<br/><b>Code&nbsp;client: </b>" + colle + "<br/><b>IFU: </b>" + colle,
                       "<tr><td>" + echappe + " (" + echappe + ")</td>",
                       "<b>Total:&nbsp;HT&nbsp;[" + colle + "]&nbsp;=&nbsp;100</b>",
                       colle + ":&nbsp;" + echappe + "<br/>",
                       "<b>Vendeur: </b>" + echappe + "&nbsp;|\u2060&nbsp;" + colle +
                           "<br/><b>Caissier: </b>" + echappe,
                       "<b>Référence&nbsp;facture&nbsp;originale: </b>" + colle,
                       "<br/>" + colle + "<br/></td><td nowrap><b>MECeF&nbsp;NIM: </b>" + colle +
                           "<br/><b>MECeF&nbsp;Compteurs: </b>" + colle +
                           "<br/><b>MECeF&nbsp;Heure: </b>" + colle + "<br/><b>ISF: </b>" + colle +
                           "<br/>",
                       "</td></tr></table><br/>" + echappe}
        << QStringList{"A<B", "<Cotonou>", "\"C\"", "CERTIFIEE"};
    QTest::newRow("markup in every field, ticket")
        << reglagesBalises << factureBalises << resultatBalises << false
        << QStringList{"Ets A<B & Fils <Cotonou>\n", "Vendeur: " + balises + " | " + balises + "\n"}
        << QStringList{"&lt;", "&amp;", "&quot;", "&nbsp;"};
    QTest::newRow("designation with markup characters, A4")
        << benin << entete() + "B;Tube <20mm> & co;1;100;118\n#;Note;<b>x</b>\n"
        << nul << true
        << QStringList{"<tr><td>Tube &lt;20mm&gt; &amp; co (B)</td>", "Note:&nbsp;&lt;b&gt;x&lt;/b&gt;<br/>"}
        << QStringList{"<20mm>"};
    QTest::newRow("designation with markup characters, ticket")
        << benin << entete() + "B;Tube <20mm> & co;1;100;118\n"
        << nul << false << QStringList{"\nTube <20mm> & co (B)| 1|  118| 118\n"} << QStringList{"&lt;"};

    // Header layouts.
    const QString enteteV1 =
        "R9;FV;Ali;2;E;Kofi;123;AIB1;;ticket-pdf;02/02/2026;CL9;Rue 9;300;Awa;BC1;MAT1;Libre\n";
    QTest::newRow("layout 1")
        << benin + " apiVersion=\"1\"" << enteteV1 + pain << nul << true
        << QStringList{"<b>Date: </b>02/02/2026<br/><b>Ref.: </b>R9<br/"
                       "><b>Bon&nbsp;de&nbsp;commande: </b>BC1<br/>Libre<br/><b>Matricule: </"
                       "b>MAT1<br/>",
                       "<b>Adresse: </b>Rue 9<br/><b>Code&nbsp;client: </b>CL9<br/>",
                       "<b>AIB&nbsp;1%&nbsp;:&nbsp;</b>2",
                       "<b>Montant&nbsp;reçu:&nbsp;</b>300&nbsp;F&nbsp;CFA."}
        << QStringList{};
    QTest::newRow("same line in layout 2")
        << benin << enteteV1 + pain << nul << true
        << QStringList{"<b>Adresse: </b>AIB1<br/>", "<b>AIB&nbsp;0%&nbsp;:&nbsp;</b>0",
                       "<b>Date: </b>300<br/>", "<b>Code&nbsp;client: </b>Awa<br/>",
                       "<b>Ref.: </b>R9<br/><b>Bon&nbsp;de&nbsp;commande: </b>Libre<br/></td>"}
        << QStringList{"Montant reçu", "CL9", "MAT1"};
}

void DocumentFacture::fragments()
{
    QFETCH(QString, reglages);
    QFETCH(QString, entree);
    QFETCH(QString, ligneResultat);
    QFETCH(bool, a4);
    QFETCH(QStringList, presents);
    QFETCH(QStringList, absents);

    const ParametresRendu p = parametres(reglages);
    const QString texte =
        construireDocument(lire(entree, p), p, resultat(ligneResultat), a4 ? Variante::A4 : Variante::Ticket);
    const QString erreurs = fragmentsManquants(texte, presents) + fragmentsEnTrop(texte, absents);
    if (!erreurs.isEmpty())
        QFAIL(qPrintable(erreurs + "document:\n" + texte));
}

// A ticket of two items: Pain (B, 2 x 500) and Eau minérale (A, 1 x 300).
void DocumentFacture::largeursDuTicketExemple()
{
    const ParametresRendu p = parametres(benin);
    const Invoice vue = lire(entete() + "B;Pain;2;400;500\nA;Eau minérale;1;300;300\n", p);
    const LargeursColonnes l = largeursColonnes(vue);
    QCOMPARE(l.articles, 19);
    QCOMPARE(l.qt, 2);
    QCOMPARE(l.puttc, 5);
    QCOMPARE(l.tot, 5);
    const QString texte = construireDocument(vue, p, std::nullopt, Variante::Ticket);
    const QString attendu = QStringLiteral("\nArticles           |Qt|PUTTC| Tot.\n\n"
                                           "Pain (B)           | 2|  500|1 000\n\n"
                                           "Eau minérale (A-EX)| 1|  300|  300\n\n");
    QVERIFY2(texte.contains(attendu), qPrintable(texte));
}

void DocumentFacture::ticketEtroit_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("retenue"); // withholding code of the header
    QTest::addColumn<QString>("articles");
    QTest::addColumn<int>("caracteres");
    QTest::addColumn<QString>("attendu"); // a part of the ticket

    const QString longue = "B;Pain complet aux céréales et graines;2;100;118\n";
    QTest::newRow("fits: columns as without a limit")
        << benin << "" << pain << 30 << "\nArticles|Qt|PUTTC|Tot.\n\nPain (B)| 2|  118| 236\n\n\nTotal: HT";
    QTest::newRow("long designation wraps inside its column")
        << benin << "" << longue << 30
        << "\nArticles        |Qt|PUTTC|Tot.\n\nPain complet aux| 2|  118| 236\ncéréales et     |  |     |   "
           " \n"
           "graines (B)     |  |     |    \n\n\nTotal: HT";
    QTest::newRow("too narrow for the amounts beside: amounts on their own line")
        << benin << "" << longue << 20
        << "\nArticles\n       Qt|PUTTC|Tot.\n\nPain complet aux\ncéréales et graines\n(B)\n        2|  118| "
           "236\n\n\n"
           "Total: HT";
    QTest::newRow("space saving, wrapped designation")
        << benin + " economieEspace=\"1\""
        << "" << longue + pain << 30
        << "Pain complet aux| 2|  118| 236\ncéréales et     |  |     |    \ngraines (B)     |  |     |    \n"
           "Pain (B)        | 2|  118| 236\n\nTotal: HT";
    QTest::newRow("word longer than the column is cut")
        << benin << ""
        << "B;Réfrigérateurprofessionnelinox;1;100;118\n"
        << 30
        << "\nArticles        |Qt|PUTTC|Tot.\n\nRéfrigérateurpro| 1|  118| 118\nfessionnelinox  |  |     |   "
           " \n"
           "(B)             |  |     |    \n\n\nTotal: HT";

    // Long lines of label and amount pairs break between the pairs, at their " | ", never inside one.
    QTest::newRow("tax-group line breaks at its separator")
        << benin << ""
        << "B;Pain;1;450;531\n"
        << 30 << "\nTotal: HT [B] = 450\nTVA [B] 18 % = 81\n";
    QTest::newRow("insurance lines break between their pairs")
        << benin << "AIB5"
        << "B;Soin;1;1000;1180;;100;118;60\n"
        << 30
        << "\nMontant payé par le client\nHT: 600  |  TVA: 119\nTTC: 779  |  AIB: 33\nNet: 812\nMontant "
           "supporté "
           "par\nl'Assurance\nHT: 400  |  TVA: 79\nTTC: 519  |  AIB: 22\nNet: 541\n";
    QTest::newRow("totals in the hundreds of billions keep their labels")
        << benin << "AIB5"
        << "B;Centrale;1;900000000000;1062000000000\n"
        << 30
        << "\nTotal HT: 900 000 000 000\nTotal TVA: 162 000 000 000\nTotal TTC: 1 062 000 000 000\n\nAIB 5% "
           ": "
           "45 000 000 000\nNet à Payer: 1 107 000 000 000\n";
    QTest::newRow("a pair wider than the line breaks after its label")
        << benin << ""
        << "B;Pain;1;450;531\n"
        << 16 << "\nTotal: HT [B] =\n450\nTVA [B] 18 % =\n81\n";
}

// Lines within a line limit: designations wrap in their column, or the amounts move under them;
// other long lines break at their " | " separators first; no line of the ticket is longer than the
// limit.
void DocumentFacture::ticketEtroit()
{
    QFETCH(QString, reglages);
    QFETCH(QString, retenue);
    QFETCH(QString, articles);
    QFETCH(int, caracteres);
    QFETCH(QString, attendu);

    const ParametresRendu p = parametres(reglages);
    const QString texte = construireDocument(lire(entete({{10, retenue}}) + articles, p), p, std::nullopt,
                                             Variante::Ticket, caracteres);
    QVERIFY2(texte.contains(attendu), qPrintable(texte));
    for (const QString &ligne : texte.split('\n'))
        QVERIFY2(ligne.size() <= caracteres, qPrintable(ligne));
}

void DocumentFacture::documentsComplets_data()
{
    QTest::addColumn<Variante>("variante");
    QTest::addColumn<QString>("fichierAttendu");
    QTest::newRow("A4 invoice of the sample") << Variante::A4 << "facture-exemple.html";
    QTest::newRow("ticket of the sample") << Variante::Ticket << "ticket-exemple.txt";
}

// The sample invoice of the installation, certified, whole document.
void DocumentFacture::documentsComplets()
{
    QFETCH(Variante, variante);
    QFETCH(QString, fichierAttendu);
    auto lireFichier = [](const QString &nom) {
        QFile f(QStringLiteral(ORVANE_TEST_DATA_DIR "/render/") + nom);
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(f.readAll());
    };
    const ParametresRendu p = parametresRendu(analyserParametres(lireFichier("app.xml").toUtf8()));
    QCOMPARE(p.entreprise, QStringLiteral("Boulangerie du Port"));
    const QString entree = lireFichier("facture.csv");
    QVERIFY(!entree.isEmpty());
    const QString texte =
        construireDocument(lire(entree, p), p, resultat(ligneCertifiee("FAC-2026-0001")), variante);
    const QString attendu = lireFichier(fichierAttendu);
    QVERIFY(!attendu.isEmpty());
    const QString difference = differenceTextes(texte, attendu);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(DocumentFacture)
#include "tst_documentfacture.moc"
