#include "pagesfacture.h"

#include "dessinqr.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cmath>

namespace {

// The tables of the invoice in document order: header, items, totals, fiscal block.
QList<QTextFrame *> tables(const QTextDocument &document)
{
    QList<QTextFrame *> resultat;
    for (QTextFrame *cadre : document.rootFrame()->childFrames()) {
        if (qobject_cast<QTextTable *>(cadre))
            resultat.append(cadre);
    }
    return resultat;
}

int pageDe(double y, double hauteurPage)
{
    return static_cast<int>(std::floor(y / hauteurPage));
}

// Top of a table row, as its first cell's text is laid out.
double hautDeLigne(const QTextDocument &document, const QTextTable &table, int ligne)
{
    const QTextBlock bloc = document.findBlock(table.cellAt(ligne, 0).firstPosition());
    return document.documentLayout()->blockBoundingRect(bloc).top();
}

// Adds `ajout` (in the rich-text engine's own units) to the bottom padding of a table row's cells.
void allongerLigne(QTextTable &table, int ligne, double ajout)
{
    for (int colonne = 0; colonne < table.columns(); ++colonne) {
        QTextTableCell cellule = table.cellAt(ligne, colonne);
        QTextTableCellFormat format = cellule.format().toTableCellFormat();
        // A cell without its own padding has the table's.
        const double avant = format.hasProperty(QTextFormat::TableCellBottomPadding)
                                 ? format.bottomPadding()
                                 : table.format().cellPadding();
        format.setBottomPadding(avant + ajout);
        cellule.setFormat(format);
    }
}

// The Total row never starts a page alone under the repeated header row: when it would, the row
// before the last item is made to reach the page's end, so that the last item row no longer fits
// there and goes to the next page with the Total row, as the rich-text engine moves any row that a
// page end would cut. (A page break inside a cell would leave an empty piece of the cell on the
// next page.)
void garderTotalAvecDernierArticle(QTextDocument &document, QTextTable &articles)
{
    const int total = articles.rows() - 1;
    const int dernier = total - 1;
    const int avantDernier = dernier - 1;
    if (avantDernier < articles.format().headerRowCount())
        return;
    const double hauteurPage = document.pageSize().height();
    const double haut = hautDeLigne(document, articles, dernier);
    const int page = pageDe(haut, hauteurPage);
    if (pageDe(hautDeLigne(document, articles, total), hauteurPage) == page)
        return;
    // Padding is given in screen pixels, which the engine scales to the device: measure the scale.
    constexpr double essai = 1;
    allongerLigne(articles, avantDernier, essai);
    const double echelle = (hautDeLigne(document, articles, dernier) - haut) / essai;
    if (echelle <= 0)
        return;
    const double finDePage = (page + 1) * hauteurPage;
    double ajout = (finDePage - 1 - haut) / echelle - essai;
    for (int tentative = 0;
         tentative < 4 && pageDe(hautDeLigne(document, articles, dernier), hauteurPage) == page;
         ++tentative) {
        allongerLigne(articles, avantDernier, ajout);
        ajout = 1;
    }
}

// The mark of an invoice that is not certified, framed and large, centred in `zone`.
void dessinerMarque(QPainter &peintre, const QString &marque, const QFont &police, const QRectF &zone)
{
    QFont grande(police);
    grande.setBold(true);
    grande.setPointSizeF(16);
    const double marge = zone.height() * 0.12;
    const double largeur = QFontMetricsF(grande, peintre.device()).horizontalAdvance(marque);
    if (largeur > zone.width() - 2 * marge) // a long mark on a narrow page: smaller, never cut
        grande.setPointSizeF(grande.pointSizeF() * (zone.width() - 2 * marge) / largeur);
    peintre.save();
    peintre.setFont(grande);
    const QRectF texte = peintre.boundingRect(zone, Qt::AlignCenter, marque);
    QPen trait(Qt::black);
    trait.setWidthF(zone.height() * 0.04);
    peintre.setPen(trait);
    peintre.drawRect(texte.adjusted(-marge, -marge / 2, marge, marge / 2));
    peintre.drawText(zone, Qt::AlignCenter, marque);
    peintre.restore();
}

// Starts `debut` on a new page when the part from it to the end of the document is cut by a page
// end and would fit on one page. True when that part is (now) on one page.
bool garderEnsemble(QTextDocument &document, QTextFrame *debut)
{
    QAbstractTextDocumentLayout *mise = document.documentLayout();
    const double hauteurPage = document.pageSize().height();
    const double haut = mise->frameBoundingRect(debut).top();
    const double bas = mise->blockBoundingRect(document.lastBlock()).bottom();
    if (pageDe(haut, hauteurPage) == pageDe(bas - 1, hauteurPage))
        return true;
    if (bas - haut > hauteurPage)
        return false;
    QTextFrameFormat format = debut->frameFormat();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    debut->setFrameFormat(format);
    return true;
}

} // namespace

std::unique_ptr<QTextDocument> documentPagine(const QTextDocument &facture, QPaintDevice *appareil,
                                              const QSizeF &page)
{
    std::unique_ptr<QTextDocument> document(facture.clone());
    // No ligatures: "fi" stays two letters in the PDF's text, so that a search for "Kofi" finds it.
    QFont police = document->defaultFont();
    police.setStyleStrategy(QFont::PreferNoShaping);
    document->setDefaultFont(police);
    preparerImagesQr(*document);
    document->documentLayout()->setPaintDevice(appareil);
    // The page margins are drawn around the pages, not inside them, so that every page of the
    // document is a plain slice of `page` height.
    document->setDocumentMargin(0);
    document->setPageSize(page);

    const QList<QTextFrame *> t = tables(*document);
    qsizetype articles = -1;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (static_cast<QTextTable *>(t.at(i))->format().headerRowCount() > 0) {
            articles = i;
            break;
        }
    }
    if (articles >= 0)
        garderTotalAvecDernierArticle(*document, *static_cast<QTextTable *>(t.at(articles)));
    // The engine lays a changed table out again only in part: lay the whole document out anew.
    document->markContentsDirty(0, document->characterCount());
    // The totals table follows the items, the fiscal table follows the totals.
    if (articles >= 0 && articles + 1 < t.size() && !garderEnsemble(*document, t.at(articles + 1)) &&
        articles + 2 < t.size())
        garderEnsemble(*document, t.at(articles + 2));
    return document;
}

int pageDuTexte(const QTextDocument &pagine, const QString &texte)
{
    const QTextCursor trouve = pagine.find(texte);
    if (trouve.isNull())
        return -1;
    const QRectF bloc = pagine.documentLayout()->blockBoundingRect(trouve.block());
    const QTextLayout *disposition = trouve.block().layout();
    const int dansBloc = trouve.selectionStart() - trouve.block().position();
    const QTextLine ligne = disposition->lineForTextPosition(dansBloc);
    const double y = bloc.top() + (ligne.isValid() ? ligne.y() : 0);
    return pageDe(y, pagine.pageSize().height());
}

QString piedDePage(int numero, int total)
{
    return QStringLiteral("page %1/%2").arg(numero).arg(total);
}

bool imprimerFacture(const QTextDocument &facture, QPagedPaintDevice *imprimante, const QString &reference,
                     const QString &marque)
{
    QPainter peintre;
    if (!peintre.begin(imprimante))
        return false;
    const double pixelsParMm = imprimante->logicalDpiY() / 25.4;
    const double marge = margeFactureMm * pixelsParMm;
    const QSizeF page(imprimante->width() - 2 * marge, imprimante->height() - 2 * marge);
    const std::unique_ptr<QTextDocument> document = documentPagine(facture, imprimante, page);
    const int total = document->pageCount();

    const QFont police(document->defaultFont(), imprimante);
    const double ecart = 3 * pixelsParMm; // between the page's text and its head or foot line
    for (int i = 0; i < total; ++i) {
        if (i > 0)
            imprimante->newPage();
        peintre.save();
        peintre.translate(marge, marge - i * page.height());
        QAbstractTextDocumentLayout::PaintContext contexte;
        contexte.clip = QRectF(QPointF(0, i * page.height()), page);
        peintre.setClipRect(contexte.clip);
        document->documentLayout()->draw(&peintre, contexte);
        peintre.restore();

        peintre.setFont(police);
        const QRectF tete(marge, 0, page.width(), marge - ecart);
        const QRectF pied(marge, marge + page.height() + ecart, page.width(), marge - ecart);
        if (i > 0)
            peintre.drawText(tete, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Ref.: ") + reference);
        peintre.drawText(pied, Qt::AlignRight | Qt::AlignTop, piedDePage(i + 1, total));
        // Above the reference line of the head: the upper half of the top margin.
        if (!marque.isEmpty())
            dessinerMarque(peintre, marque, police, QRectF(marge, marge * 0.1, page.width(), marge * 0.5));
    }
    return true;
}
