#include "dessinqr.h"

#include "redacteura4.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>

#include <algorithm>
#include <cmath>

namespace {

// Object type of the QR code in an A4 invoice's rich-text document.
constexpr int typeObjetQr = QTextFormat::UserObject + 1;

// Screen pixels per inch of the HTML's image sizes, as the rich-text engine scales them.
constexpr double pixelsEcranParPouce = 96.0;

// Lays out and draws the QR objects of a rich-text document.
class ObjetQr : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument *document, int, const QTextFormat &format) override
    {
        const std::optional<ModulesQr> qr = modules(format);
        if (!qr)
            return {};
        const QPaintDevice *appareil = document->documentLayout()->paintDevice();
        const double resolution = appareil ? appareil->logicalDpiX() : pixelsEcranParPouce;
        const double cote = format.toImageFormat().width() * resolution / pixelsEcranParPouce;
        const double c = moduleDansCote(*qr, cote) * modulesAvecZoneCalme(*qr);
        return {c, c};
    }

    void drawObject(QPainter *peintre, const QRectF &rectangle, QTextDocument *, int,
                    const QTextFormat &format) override
    {
        const std::optional<ModulesQr> qr = modules(format);
        if (!qr)
            return;
        const QTransform versAppareil = peintre->deviceTransform();
        const QRectF cible = versAppareil.mapRect(rectangle);
        const QPoint origine(qRound(cible.left()), qRound(cible.top()));
        dessinerQr(*peintre, *qr, origine, moduleDansCote(*qr, cible.width() + 0.5));
    }

private:
    static std::optional<ModulesQr> modules(const QTextFormat &format)
    {
        const std::optional<QString> texte = texteImageQr(format.toImageFormat().name());
        return texte ? modulesQr(*texte) : std::nullopt;
    }
};

} // namespace

int moduleDansCote(const ModulesQr &qr, double cotePixels)
{
    return std::max(1, static_cast<int>(std::floor(cotePixels / modulesAvecZoneCalme(qr))));
}

int moduleAuMoins(const ModulesQr &qr, double cotePixels)
{
    return std::max(1, static_cast<int>(std::ceil(cotePixels / modulesAvecZoneCalme(qr))));
}

void dessinerQr(QPainter &peintre, const ModulesQr &qr, const QPoint &origine, int module)
{
    QPainterPath sombres;
    sombres.setFillRule(Qt::WindingFill);
    for (int y = 0; y < qr.taille; ++y) {
        for (int x = 0; x < qr.taille;) {
            if (!qr.sombre(x, y)) {
                ++x;
                continue;
            }
            // One rectangle per run of dark modules in a row, all filled as one path: no seam
            // between neighbouring modules.
            const int debut = x;
            while (x < qr.taille && qr.sombre(x, y))
                ++x;
            sombres.addRect(origine.x() + (zoneCalmeQr + debut) * module,
                            origine.y() + (zoneCalmeQr + y) * module, (x - debut) * module, module);
        }
    }
    const int cote = modulesAvecZoneCalme(qr) * module;
    peintre.save();
    peintre.resetTransform();
    peintre.setViewTransformEnabled(false);
    peintre.setRenderHint(QPainter::Antialiasing, false);
    peintre.setRenderHint(QPainter::SmoothPixmapTransform, false);
    peintre.fillRect(QRect(origine, QSize(cote, cote)), Qt::white);
    peintre.fillPath(sombres, Qt::black);
    peintre.restore();
}

void preparerImagesQr(QTextDocument &document)
{
    QList<QPair<int, QTextImageFormat>> images;
    for (QTextBlock bloc = document.begin(); bloc.isValid(); bloc = bloc.next()) {
        for (auto morceau = bloc.begin(); !morceau.atEnd(); ++morceau) {
            const QTextCharFormat format = morceau.fragment().charFormat();
            if (format.isImageFormat() && texteImageQr(format.toImageFormat().name()))
                images.append({morceau.fragment().position(), format.toImageFormat()});
        }
    }
    if (images.isEmpty())
        return;
    auto *objet = new ObjetQr(&document);
    document.documentLayout()->registerHandler(typeObjetQr, objet);
    for (auto &[position, format] : images) {
        QTextCursor curseur(&document);
        curseur.setPosition(position);
        curseur.setPosition(position + 1, QTextCursor::KeepAnchor);
        format.setObjectType(typeObjetQr);
        curseur.setCharFormat(format);
    }
}

#include "dessinqr.moc"
