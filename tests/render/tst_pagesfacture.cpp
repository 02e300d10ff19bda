#include "outilsparalleles.h"
#include "pdfmots.h"

#include <document.h>
#include <imagesqr.h>
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

private:
    QTemporaryDir m_dossier;
    QString m_imageQr;
};

namespace {

const QString texteQr = QStringLiteral("F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542");
const QString ligneResultat =
    QStringLiteral("R\t\tDEMO-5AB7-CD9E-F2GH-4JK6-LM8N\tEM01020304\t82/87 FV\t09/01/2020 "
                   "13:55:42\t") +
    texteQr + QStringLiteral("\t");

ParametresRendu parametres(const QString &attributs)
{
    return parametresRendu(analyserParametres(("<app " + attributs + "/>").toUtf8()));
}

Invoice lire(const QString &entree, const ParametresRendu &p)
{
    QString copie = entree;
    QTextStream flux(&copie);
    return lireFacture(flux, {dispositionEntete(p.apiVersion), p.pays, true});
}

ResultatLu resultat()
{
    QString copie = ligneResultat;
    QTextStream flux(&copie);
    return lireResultat(flux);
}

// Prints the A4 invoice into `pdf` as the renderer does.
void imprimerPdf(const Invoice &facture, const ParametresRendu &p, const QString &imageQr, const QString &pdf)
{
    const QString html =
        construireDocument(facture, p, resultat(), imageQr, Variante::A4) + QStringLiteral("</body></html>");
    Worker worker(html, facture.reference);
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
    const QString entree = m_dossier.filePath("qr.csv");
    ecrireImagesQr(texteQr, entree);
    m_imageQr = entree + ".png";
    QVERIFY(QFile::exists(m_imageQr));
}

// For every item count from 1 to 120: the totals, the whole fiscal block, the QR code and the
// closing lines share one page, and the QR code on it decodes; every page says "page n/N", and
// every page after the first names the invoice and, when items go on there, starts with the table's
// header row. PDFs are made in this process; the helper tools run a few at a time.
void PagesFacture::blocFiscalSurUnePage()
{
    const ParametresRendu p = parametres("pays=\"Bénin\" entreprise=\"Boulangerie\" message=\"Merci\"");
    constexpr int maximum = 120;
    QList<QStringList> commandesTexte;
    for (int n = 1; n <= maximum; ++n) {
        const QString pdf = m_dossier.filePath(QStringLiteral("f%1.pdf").arg(n));
        imprimerPdf(lire(factureDe(n), p), p, m_imageQr, pdf);
        commandesTexte.append({"pdftotext", "-bbox-layout", pdf, "-"});
    }
    const QStringList textes = lancerEnParallele(commandesTexte);

    const QStringList blocFinal = {"Total TTC:", "Net à Payer:",     "Arrêté la présente facture",
                                   "Vendeur:",   "Code MECeF / DGI", "DEMO-5AB7-CD9E-F2GH-4JK6-LM8N",
                                   "MECeF NIM:", "MECeF Compteurs:", "MECeF Heure:",
                                   "Merci"};
    QList<QStringList> commandesQr;
    QList<int> multipages;
    for (int n = 1; n <= maximum; ++n) {
        const PagesPdf pages = lirePagesPdf(textes.at(n - 1));
        const int total = pages.pages.size();
        QVERIFY2(total > 0, qPrintable(QString("%1 articles: no PDF text").arg(n)));
        if (total > 1)
            multipages.append(n);
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
        QVERIFY2(qr.at(n - 1).trimmed() == texteQr,
                 qPrintable(QString("%1 articles: QR read [%2]").arg(n).arg(qr.at(n - 1).trimmed())));
}

void PagesFacture::montantsEntiers_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("entree");
    QTest::addColumn<QStringList>("montants"); // each must stand whole on one line of the PDF

    const QString niger = "pays=\"Niger\" entreprise=\"Boulangerie du Port\" message=\"Merci\"";
    QTest::newRow("niger credit note in the hundreds of millions")
        << niger
        << "AV-1;FA;Awa;7;V;Kofi Mensah;123;Niamey;;;B;;facture-pdf;08/12/2026;C-1;0;Awa;;;\n"
           "B;Groupe électrogène industriel;3;55000000;65450000\n"
           "A;Installation;1;12373;12373\n"
        << QStringList{"-196 362 373", "-9 818 119", "-206 180 492", "-165 000 000", "-12 373"};
    QTest::newRow("benin sale with withholding, received less than the net")
        << "pays=\"Bénin\" entreprise=\"Boulangerie du Port\" message=\"Merci\""
        << "FAC-9;FV;Awa;7;E;Kofi Mensah;123;Cotonou;;;AIB5;;facture-pdf;08/12/2026;C-1;1000000;Awa;;;\n"
           "B;Chambre froide;2;87500000;103250000\n"
        << QStringList{"206 500 000", "175 000 000", "8 750 000", "215 250 000", "31 500 000", "1 000 000"};
}

// Amounts in the narrow totals column and in the sentences never break across two lines.
void PagesFacture::montantsEntiers()
{
    QFETCH(QString, reglages);
    QFETCH(QString, entree);
    QFETCH(QStringList, montants);

    const ParametresRendu p = parametres(reglages);
    const QString pdf = m_dossier.filePath("montants.pdf");
    imprimerPdf(lire(entree, p), p, m_imageQr, pdf);
    const QStringList textes = lancerEnParallele({{"pdftotext", "-bbox-layout", pdf, "-"}});
    const QStringList lignes = lirePagesPdf(textes.first()).lignes();
    QVERIFY(!lignes.isEmpty());
    for (const QString &montant : montants) {
        bool trouve = false;
        for (const QString &ligne : lignes)
            trouve = trouve || ligne.contains(montant);
        QVERIFY2(trouve, qPrintable("\"" + montant + "\" is not whole on any line:\n" + lignes.join('\n')));
    }
}

QTEST_MAIN(PagesFacture)
#include "tst_pagesfacture.moc"
