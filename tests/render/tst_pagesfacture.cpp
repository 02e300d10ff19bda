#include "lecturesrendu.h"
#include "outilsparalleles.h"
#include "pdfmots.h"
#include "resultatsexemple.h"

#include <document.h>
#include <etatfiscal.h>
#include <lecturefacture.h>
#include <pagesfacture.h>
#include <parametres.h>
#include <worker.h>

#include <QPrinter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

// The A4 invoice on paper: PDFs made by the renderer's own printing, read back with pdftotext
// (word boxes) and, for the QR code, pdftoppm and zbarimg.
class PagesFacture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void blocFiscalSurUnePage();
    void montantsEntiers_data();
    void montantsEntiers();
    void valeursEntieres_data();
    void valeursEntieres();
    void qrA203ppp_data();
    void qrA203ppp();
    void marqueSurChaquePage_data();
    void marqueSurChaquePage();
    void textesCommeEcrits();

private:
    QTemporaryDir m_dossier;
};

namespace {

// Prints the A4 invoice into `pdf` as the renderer does, with the result line `ligneResultat` (by
// default the invoice's certification; null: no result file).
void imprimerPdf(const Invoice &facture, const ParametresRendu &p, const QString &pdf,
                 const QString &ligneResultat = QStringLiteral("certifiee"))
{
    const std::optional<ResultatLu> r = resultat(
        ligneResultat == QStringLiteral("certifiee") ? ligneCertifiee(facture.reference) : ligneResultat);
    const QString html = construireDocument(facture, p, r, Variante::A4) + QStringLiteral("</body></html>");
    Worker worker(html, facture.reference,
                  mention(etatFiscal(r, facture.reference).certification).enUneLigne());
    QPrinter imprimante(QPrinter::HighResolution);
    imprimante.setOutputFormat(QPrinter::PdfFormat);
    imprimante.setPageSize(QPageSize(QPageSize::A4));
    imprimante.setOutputFileName(pdf);
    worker.print(&imprimante);
}

// A sale of `n` items with a client, a payment and a withholding, as a shop prints it.
QString factureDe(int n)
{
    QString texte = QStringLiteral("FAC-%1;FV;Awa;7;E;Kofi Mensah;3209876543210;Cotonou;;;AIB1;;facture-pdf;"
                                   "08/12/2026;C-042;500000;Awa;BC-17;;Livraison\n")
                        .arg(n);
    for (int i = 1; i <= n; ++i)
        texte += QStringLiteral("B;Article numéro %1 de la commande;%2;1250;1475\n").arg(i).arg(i % 7 + 1);
    return texte;
}

} // namespace

void PagesFacture::initTestCase()
{
    QVERIFY(m_dossier.isValid());
}

namespace {

// Pages of the last item row and of the Total row of the item table.
QPair<QList<int>, QList<int>> pagesDernierArticleEtTotal(const PagesPdf &pages, int n)
{
    // The Total row's first cell: a line of its own, or with the row's quantity and amount.
    static const QRegularExpression ligneTotal(QStringLiteral("^Total( [-0-9].*)?$"));
    QList<int> article, total;
    const QStringList lignes = pages.lignes();
    for (const MotPdf &m : pages.mots) {
        const QString &ligne = lignes.value(m.ligne);
        if (ligne.startsWith(QStringLiteral("Article numéro %1 ").arg(n)) && !article.contains(m.page))
            article.append(m.page);
        if (ligneTotal.match(ligne).hasMatch() && !total.contains(m.page))
            total.append(m.page);
    }
    return {article, total};
}

} // namespace

// For every item count from 1 to 120: the totals, the whole fiscal block, the QR code and the
// closing lines share one page, and the QR code on it decodes; every page says "page n/N", and
// every page after the first names the invoice and, when items go on there, starts with the table's
// header row; the Total row shares its page with the last item. PDFs are made in this process; the
// helper tools run a few at a time.
void PagesFacture::blocFiscalSurUnePage()
{
    const ParametresRendu p = parametres("pays=\"Bénin\" entreprise=\"Boulangerie\" message=\"Merci\"");
    constexpr int maximum = 120;
    QList<QStringList> commandesTexte;
    for (int n = 1; n <= maximum; ++n) {
        const QString pdf = m_dossier.filePath(QStringLiteral("f%1.pdf").arg(n));
        imprimerPdf(lire(factureDe(n), p), p, pdf);
        commandesTexte.append({"pdftotext", "-bbox-layout", pdf, "-"});
    }
    const QStringList textes = lancerEnParallele(commandesTexte);

    const QStringList blocFinal = {
        "Total TTC:",       "Net à Payer:", "Arrêté la présente facture", "Vendeur:",     "Code MECeF / DGI",
        signatureCertifiee, "MECeF NIM:",   "MECeF Compteurs:",           "MECeF Heure:", "Merci"};
    QList<QStringList> commandesQr;
    QList<int> multipages;
    for (int n = 1; n <= maximum; ++n) {
        const PagesPdf pages = lirePagesPdf(textes.at(n - 1));
        const int total = pages.pages.size();
        QVERIFY2(total > 0, qPrintable(QString("%1 articles: no PDF text").arg(n)));
        if (total > 1)
            multipages.append(n);
        const auto [pagesArticle, pagesTotal] = pagesDernierArticleEtTotal(pages, n);
        QVERIFY2(pagesTotal.size() == 1 && pagesArticle == pagesTotal,
                 qPrintable(QString("%1 articles: last item on pages %2, Total row on pages %3")
                                .arg(n)
                                .arg(QString::number(pagesArticle.value(0, -1) + 1))
                                .arg(QString::number(pagesTotal.value(0, -1) + 1))));
        QVERIFY2(!pages.lignes().join(' ').contains("CERTIFIEE"),
                 qPrintable(QString("%1 articles: marked").arg(n)));
        const QList<int> pageBloc = pages.pagesDe(blocFinal.first());
        QVERIFY2(pageBloc.size() == 1,
                 qPrintable(QString("%1 articles: totals on pages %2").arg(n).arg(pageBloc.size())));
        for (const QString &fragment : blocFinal)
            QVERIFY2(pages.pagesDe(fragment) == pageBloc,
                     qPrintable(QString("%1 articles: \"%2\" not on page %3 with the totals")
                                    .arg(n)
                                    .arg(fragment)
                                    .arg(pageBloc.first() + 1)));
        for (int i = 0; i < total; ++i) {
            QVERIFY2(pages.pagesDe(QString("page %1/%2").arg(i + 1).arg(total)) == QList<int>{i},
                     qPrintable(
                         QString("%1 articles: page %2 has no \"page %2/%3\"").arg(n).arg(i + 1).arg(total)));
            if (i == 0)
                continue;
            QVERIFY2(pages.pagesDe(QString("Ref.: FAC-%1").arg(n)).contains(i),
                     qPrintable(QString("%1 articles: page %2 does not name the invoice").arg(n).arg(i + 1)));
            // The header row stands above the first item of a page that carries items.
            double premierArticle = -1, entete = -1;
            const QStringList lignes = pages.lignes();
            for (const MotPdf &m : pages.mots) {
                if (m.page != i)
                    continue;
                if (premierArticle < 0 && lignes.value(m.ligne).startsWith("Article numéro"))
                    premierArticle = m.yMin;
                if (entete < 0 && m.texte == "Désignation")
                    entete = m.yMin;
            }
            if (premierArticle >= 0)
                QVERIFY2(
                    entete >= 0 && entete < premierArticle,
                    qPrintable(QString("%1 articles: page %2 lacks the table header").arg(n).arg(i + 1)));
        }
        // Only the band of the fiscal block is turned into an image: the QR code stands beside its
        // first line and is about 75 points high.
        double haut = -1;
        for (const MotPdf &m : pages.mots) {
            if (m.page == pageBloc.first() && (m.texte == "Mode" || m.texte == "Connector:"))
                haut = haut < 0 ? m.yMin : std::min(haut, m.yMin);
        }
        QVERIFY2(haut >= 0, qPrintable(QString("%1 articles: no fiscal block").arg(n)));
        constexpr int resolution = 100;
        const int y = std::max(0, static_cast<int>((haut - 20) * resolution / 72));
        const int hauteur = 260 * resolution / 72;
        const QString racine = m_dossier.filePath(QStringLiteral("qr%1").arg(n));
        commandesQr.append(
            {"sh", "-c",
             QString("pdftoppm -r %1 -gray -png -singlefile -f %2 -l %2 -y %3 -H %4 -W 2000 '%5' "
                     "'%6' && zbarimg -q --raw '%6.png'")
                 .arg(resolution)
                 .arg(pageBloc.first() + 1)
                 .arg(y)
                 .arg(hauteur)
                 .arg(m_dossier.filePath(QStringLiteral("f%1.pdf").arg(n)), racine)});
    }
    // The counts must reach well past the first page end, and cross it in several ways.
    QVERIFY2(multipages.size() > 60,
             qPrintable(QString("only %1 invoices of several pages").arg(multipages.size())));

    const QStringList qr = lancerEnParallele(commandesQr);
    for (int n = 1; n <= maximum; ++n)
        QVERIFY2(qr.at(n - 1).trimmed() == texteQrCertifie,
                 qPrintable(QString("%1 articles: QR read [%2]").arg(n).arg(qr.at(n - 1).trimmed())));
}

void PagesFacture::montantsEntiers_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("entree");
    QTest::addColumn<QStringList>("montants"); // each must stand whole on one line of the PDF
    // Amounts, and labels with their amounts.

    const QString niger = "pays=\"Niger\" entreprise=\"Boulangerie du Port\" message=\"Merci\"";
    QTest::newRow("niger credit note in the hundreds of millions")
        << niger
        << "AV-1;FA;Awa;7;V;Kofi Mensah;123;Niamey;;;B;;facture-pdf;08/12/2026;C-1;0;Awa;;;\n"
           "B;Groupe électrogène industriel;3;55000000;65450000\n"
           "A;Installation;1;12373;12373\n"
        << QStringList{"-196 362 373", "-9 818 119", "-206 180 492",
                       "-165 000 000", "-12 373",    "Total TTC: -196 362 373",
                       "Kofi Mensah"};
    QTest::newRow("benin sale with withholding, received less than the net")
        << "pays=\"Bénin\" entreprise=\"Boulangerie du Port\" message=\"Merci\""
        << "FAC-9;FV;Awa;7;E;Kofi Mensah;123;Cotonou;;;AIB5;;facture-pdf;08/12/2026;C-1;1000000;Awa;;;\n"
           "B;Chambre froide;2;87500000;103250000\n"
        << QStringList{"206 500 000",
                       "175 000 000",
                       "8 750 000",
                       "215 250 000",
                       "31 500 000",
                       "1 000 000",
                       "Montant reçu: 1 000 000 F CFA."};
    QTest::newRow("twelve-digit amounts beside their labels")
        << "pays=\"Bénin\" entreprise=\"Boulangerie du Port\" message=\"Merci\""
        << "FAC-12;FV;Awa;7;E;Kofi Mensah;123;Cotonou;;;AIB5;;facture-pdf;08/12/2026;C-1;0;Awa;;;\n"
           "B;Centrale solaire de 40 mégawatts;1;900000000000;1062000000000\n"
        << QStringList{"Total HT: 900 000 000 000",
                       "Total TVA: 162 000 000 000",
                       "Total TTC: 1 062 000 000 000",
                       "AIB 5% : 45 000 000 000",
                       "Net à Payer: 1 107 000 000 000",
                       "Total: HT [B] = 900 000 000 000",
                       "TVA [B] 18 % = 162 000 000 000",
                       "la somme de: 1 107 000 000 000 F CFA.",
                       "Kofi Mensah"};
}

// Amounts in the narrow totals column and in the sentences never break across two lines, nor are
// they cut from their labels; "Kofi" reads as written (no "fi" ligature in the PDF's text).
void PagesFacture::montantsEntiers()
{
    QFETCH(QString, reglages);
    QFETCH(QString, entree);
    QFETCH(QStringList, montants);

    const ParametresRendu p = parametres(reglages);
    const QString pdf = m_dossier.filePath("montants.pdf");
    imprimerPdf(lire(entree, p), p, pdf);
    const QStringList lignes = lirePdf(pdf).lignes();
    QVERIFY(!lignes.isEmpty());
    for (const QString &montant : montants) {
        bool trouve = false;
        for (const QString &ligne : lignes)
            trouve = trouve || ligne.contains(montant);
        QVERIFY2(trouve, qPrintable("\"" + montant + "\" is not whole on any line:\n" + lignes.join('\n')));
    }
}

void PagesFacture::valeursEntieres_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("entree");
    QTest::addColumn<QString>("ligneResultat");
    QTest::addColumn<QStringList>("valeurs"); // each must stand whole on one line of the PDF

    // Company details whose numbers hold spaces, slashes and hyphens before letters.
    const QString entreprise = "entreprise=\"Boulangerie du Port\" adresse=\"Lot 1234, quartier Zongo\" "
                               "telephone=\"+229 97 12 34 56\" email=\"contact@boulangerie-du-port.bj\" "
                               "rccm=\"RB/COT/24 B-12345\" ifu=\"3201234567890\" isf=\"ISF-BJ/2026-A-0042\" "
                               "message=\"Merci\"";
    const QString benin = "pays=\"Bénin\" " + entreprise;
    const QString niger = "pays=\"Niger\" " + entreprise;
    // Three groups, one with a specific tax: group lines wider than their cell.
    const QString articles = "B;Four à sole de boulangerie;2;4500000;5310000;;150000;150000\n"
                             "D;Farine de blé T65;40;27500;32450\n"
                             "A;Installation et formation;1;350000;350000\n";
    // Header fields: reference, type, seller and number, payment, client, client's tax number,
    // address, ..., print mode, date, client code, received, cashier, purchase order, matricule,
    // free line.
    auto entete = [](const QString &reference, const QString &type, const QString &bonCommande,
                     const QString &client) {
        return QStringList{reference, type, "Awa Koné-Mensah", "VEND-CAISSE-07", "V", client,
                           "3209876543210", "Carré 1456, Haie Vive", "", "", "", "", "facture-pdf",
                           "08/12/2026", "CLI-GRANDS-COMPTES-0042", "0", "Rachida Issoufou", bonCommande,
                           "MAT-EMP-AGENT-00042", "Livraison au dépôt"}
                   .join(';') +
               "\n";
    };
    auto resultatDe = [](const QString &reference, const QString &originale, const QString &compteurs,
                         const QString &nim) {
        return QStringList{reference, "87", "QVTK-3JZF-7HNC-M2WD-R5XB-8LPE", nim, compteurs,
                           "09/01/2020 13:55:42", "F;" + nim + ";QVTK3JZF7HNCM2WDR5XB8LPE;3201234567890;"
                                                  "20200109135542",
                           originale}
            .join('\t');
    };
    const QStringList entreprises{"+229 97 12 34 56", "contact@boulangerie-du-port.bj", "RB/COT/24 B-12345",
                                  "3201234567890",    "ISF-BJ/2026-A-0042",              "Lot 1234, quartier Zongo"};
    const QStringList communes = entreprises + QStringList{"08/12/2026",
                                                           "CLI-GRANDS-COMPTES-0042",
                                                           "3209876543210",
                                                           "MAT-EMP-AGENT-00042",
                                                           "Mensah | VEND-CAISSE-07",
                                                           "QVTK-3JZF-7HNC-M2WD-R5XB-8LPE",
                                                           "09/01/2020 13:55:42",
                                                           "Total: HT [B] = 9 000 000",
                                                           "TS [B] = 150 000",
                                                           "TVA [B] 18 % = 1 620 000",
                                                           "Total: HT [D] = 1 100 000",
                                                           "TVA [D] 18 % = 198 000"};
    // A client name as wide as the page's line, an order number as wide as the header's cell.
    const QString clientLong = "Société Commerciale des Grands Magasins Réunis du Marché Dantokpa";

    QTest::newRow("benin sale, reference of 13, purchase order at the cell's width")
        << benin << entete("FV-BOUL-00042", "FV", "BC-MAGASIN-2026-12-0042", clientLong) + articles
        << resultatDe("FV-BOUL-00042", "", "82/87 FV", "ED04000001")
        << communes + QStringList{"FV-BOUL-00042", "BC-MAGASIN-2026-12-0042", clientLong, "82/87 FV",
                                  "ED04000001"};
    QTest::newRow("benin refund, reference of 17, original of 24")
        << benin << entete("AV-BOUL-2026-0042", "FA", "BC-2026-12-0042", "Kofi Mensah") + articles
        << resultatDe("AV-BOUL-2026-0042", "QVTK3JZF7HNCM2WDR5XB8LPE", "12/88 FA", "ED04000001")
        << communes + QStringList{"AV-BOUL-2026-0042", "BC-2026-12-0042", "QVTK3JZF7HNCM2WDR5XB8LPE",
                                  "12/88 FA"};
    QTest::newRow("benin sale, reference of 24")
        << benin << entete("FV-BOULANGERIE-2026-0042", "FV", "BC-2026-12-0042", "Kofi Mensah") + articles
        << resultatDe("FV-BOULANGERIE-2026-0042", "", "82/87 FV", "ED04000001")
        << communes + QStringList{"FV-BOULANGERIE-2026-0042", "BC-2026-12-0042"};
    const QStringList nigerCommunes = QStringList(communes)
                                          .replaceInStrings("TVA [B] 18 %", "TVA [B] 19 %")
                                          .replaceInStrings("TVA [D] 18 %", "TVA [D] 5 %");
    QTest::newRow("niger sale, reference of 17, purchase order at the cell's width")
        << niger << entete("FV-NIAMEY-2026-42", "FV", "BC-MAGASIN-2026-12-0042", clientLong) + articles
        << resultatDe("FV-NIAMEY-2026-42", "", "82/87 FV", "NE01000042")
        << nigerCommunes + QStringList{"FV-NIAMEY-2026-42", "BC-MAGASIN-2026-12-0042", clientLong,
                                       "82/87 FV", "NE01000042"};
    QTest::newRow("niger refund, reference of 24, original of 13")
        << niger << entete("AV-NIAMEY-DEPOT-2026-042", "FA", "BC-2026-12-0042", "Kofi Mensah") + articles
        << resultatDe("AV-NIAMEY-DEPOT-2026-042", "NE01000042-80", "12/88 FA", "NE01000042")
        << QStringList(nigerCommunes).replaceInStrings(QRegularExpression("^(.* = )([0-9])"), "\\1-\\2") +
               QStringList{"AV-NIAMEY-DEPOT-2026-042", "BC-2026-12-0042", "NE01000042-80", "12/88 FA"};
}

// No reference, code, number, counter or date is broken inside itself on the A4 invoice: a value
// that does not fit beside its label goes whole onto the next line. The group summary breaks
// before its separators: no line ends with "|".
void PagesFacture::valeursEntieres()
{
    QFETCH(QString, reglages);
    QFETCH(QString, entree);
    QFETCH(QString, ligneResultat);
    QFETCH(QStringList, valeurs);
#ifdef Q_OS_WIN
    // Wine's fonts are wider: a 24-character reference no longer fits its whole cell there, the one
    // case in which a value may break. The rows of shorter references run everywhere.
    if (QString(QTest::currentDataTag()).contains("reference of 24"))
        QSKIP("a 24-character reference is wider than its whole cell with Wine's fonts");
#endif

    const ParametresRendu p = parametres(reglages);
    const QString pdf = m_dossier.filePath("valeurs.pdf");
    imprimerPdf(lire(entree, p), p, pdf, ligneResultat);
    const QStringList lignes = lirePdf(pdf).lignes();
    QVERIFY(!lignes.isEmpty());
    for (const QString &valeur : valeurs) {
        const bool entiere =
            std::any_of(lignes.begin(), lignes.end(), [&](const QString &l) { return l.contains(valeur); });
        // The lines that hold its beginning or its end.
        const QStringList morceaux = lignes.filter(valeur.left(4)) + lignes.filter(valeur.right(4));
        QVERIFY2(entiere, qPrintable("\"" + valeur + "\" is not whole on any line:\n" + morceaux.join('\n')));
    }
    for (int i = 0; i < lignes.size(); ++i)
        QVERIFY2(!lignes.at(i).trimmed().endsWith('|'),
                 qPrintable("a line ends with \"|\":\n" + lignes.mid(i, 2).join('\n')));
}

void PagesFacture::qrA203ppp_data()
{
    QTest::addColumn<int>("articles");
    QTest::newRow("1 item") << 1;
    QTest::newRow("75 items") << 75;
    QTest::newRow("90 items") << 90;
}

// The A4 invoice's QR code as a 203 dpi printer in 1-bit prints it: it reads back as the result
// file's QR text, on the page of the fiscal block.
void PagesFacture::qrA203ppp()
{
    QFETCH(int, articles);
    const ParametresRendu p = parametres("pays=\"Bénin\" entreprise=\"Boulangerie\" message=\"Merci\"");
    const QString pdf = m_dossier.filePath(QStringLiteral("qr203-%1.pdf").arg(articles));
    imprimerPdf(lire(factureDe(articles), p), p, pdf);
    // Only the fiscal block's page carries a code.
    QCOMPARE(codesQrA203ppp(pdf, m_dossier.filePath(QStringLiteral("qr203-%1").arg(articles))),
             QStringList{texteQrCertifie});
}

void PagesFacture::marqueSurChaquePage_data()
{
    QTest::addColumn<int>("articles");
    QTest::addColumn<QString>("ligneResultat"); // null: no result file
    QTest::addColumn<QString>("marque");
    for (const int n : {1, 27, 65, 120})
        QTest::addRow("%d items, no result file", n) << n << QString() << "FACTURE NON CERTIFIEE";
    QTest::newRow("65 items, result of another invoice")
        << 65 << ligneCertifiee("FAC-1") << "FACTURE NON CERTIFIEE";
    QTest::newRow("65 items, demonstration result")
        << 65 << ligneDemonstration("FAC-65") << "DEMONSTRATION - FACTURE NON CERTIFIEE";
}

// An invoice that is not certified carries its mark, large and at the head, on every page, and
// once more in place of its fiscal block; it shows no QR code unless the demonstration result
// gives one.
void PagesFacture::marqueSurChaquePage()
{
    QFETCH(int, articles);
    QFETCH(QString, ligneResultat);
    QFETCH(QString, marque);
    const ParametresRendu p = parametres("pays=\"Bénin\" entreprise=\"Boulangerie\" message=\"Merci\"");
    const QString pdf = m_dossier.filePath(QStringLiteral("marque-%1.pdf").arg(articles));
    imprimerPdf(lire(factureDe(articles), p), p, pdf, ligneResultat);
    const PagesPdf pages = lirePdf(pdf);
    QVERIFY(!pages.pages.isEmpty());
    double hauteurTexte = 0;
    for (const MotPdf &m : pages.mots) {
        if (m.texte == "Merci")
            hauteurTexte = m.yMax - m.yMin;
    }
    QVERIFY(hauteurTexte > 0);
    for (int i = 0; i < pages.pages.size(); ++i) {
        // The first line of the page, above everything else, is the mark in letters at least
        // one and a half times as high as the text.
        double haut = -1, hauteurMarque = 0;
        int premiere = -1;
        for (const MotPdf &m : pages.mots) {
            if (m.page == i && (premiere < 0 || m.yMin < haut)) {
                haut = m.yMin;
                premiere = m.ligne;
                hauteurMarque = m.yMax - m.yMin;
            }
        }
        QCOMPARE(pages.lignes().value(premiere), marque);
        QVERIFY2(hauteurMarque >= 1.5 * hauteurTexte, qPrintable(QString("page %1").arg(i + 1)));
    }
    const QString texte = pages.lignes().join(' ');
    QCOMPARE(texte.count("FACTURE NON CERTIFIEE"), pages.pages.size() + 1);
    const bool demonstration = marque.startsWith("DEMONSTRATION");
    QCOMPARE(texte.contains(signatureDemonstration), demonstration);
    QCOMPARE(texte.contains("MECeF NIM"), demonstration);
}

// Texts that look like markup print as written in every field of the A4 invoice: the settings'
// company texts, the invoice's header, client, item and comment, and the result file's fields.
void PagesFacture::textesCommeEcrits()
{
    const QString balises = "A<B & \"C\"";
    const QString xml = "A&lt;B &amp; &quot;C&quot;";
    const ParametresRendu p =
        parametres(QString("pays=\"Bénin\" entreprise=\"Ets A&lt;B &amp; Fils &lt;Cotonou&gt;\" "
                           "adresse=\"%1\" telephone=\"%1\" email=\"%1\" rccm=\"%1\" "
                           "ifu=\"%1\" isf=\"%1\" message=\"%1\"")
                       .arg(xml));
    QStringList entete(20, QString());
    for (int position : {0, 2, 3, 5, 6, 7, 13, 14, 16, 17, 18, 19})
        entete[position] = balises;
    entete[1] = "FV";
    entete[4] = "E";
    entete[12] = "facture-pdf";
    const QString entree =
        entete.join(';') + "\n" + balises + ";" + balises + ";1;100;118\n#;" + balises + ";" + balises + "\n";
    const QString ligne =
        QStringList{balises, "87", balises, balises, balises, balises, "QR", balises}.join('\t');
    const QString pdf = m_dossier.filePath("balises.pdf");
    imprimerPdf(lire(entree, p), p, pdf, ligne);
    const PagesPdf pages = lirePdf(pdf);
    QCOMPARE(pages.pages.size(), 1);
    const QString texte = pages.lignes().join(' ').simplified();
    QVERIFY2(texte.contains("Ets A<B & Fils <Cotonou>"), qPrintable(texte));
    // Settings: address, telephone, e-mail, RCCM, IFU, ISF, message (7); header: date, reference,
    // purchase order, free line, matricule (5); client: name, address, code, IFU (4); item:
    // designation and group (2), group in the summary (2); comment (2); seller and number,
    // cashier (3); result: fiscal code, NIM, counters, time, original invoice (5).
    QCOMPARE(texte.count(balises), 30);
    QVERIFY2(!texte.contains("&lt;") && !texte.contains("&amp;"), qPrintable(texte));
}

QTEST_MAIN(PagesFacture)
#include "tst_pagesfacture.moc"
