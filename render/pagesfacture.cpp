#include "pagesfacture.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
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

void imprimerFacture(const QTextDocument &facture, QPagedPaintDevice *imprimante, const QString &reference)
{
    QPainter peintre(imprimante);
    if (!peintre.isActive())
        return;
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
    }
}
