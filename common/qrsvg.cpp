#include "qrsvg.h"

#include <qrcodegen.hpp>

std::optional<ModulesQr> modulesQr(const QString &texte)
{
    const QByteArray octets = texte.toUtf8();
    try {
        const auto qr = qrcodegen::QrCode::encodeText(octets.constData(), qrcodegen::QrCode::Ecc::MEDIUM);
        ModulesQr modules;
        modules.taille = qr.getSize();
        modules.sombres.reserve(static_cast<size_t>(modules.taille) * modules.taille);
        for (int y = 0; y < modules.taille; ++y)
            for (int x = 0; x < modules.taille; ++x)
                modules.sombres.push_back(qr.getModule(x, y));
        return modules;
    } catch (const qrcodegen::data_too_long &) {
        return std::nullopt;
    }
}

QString svgQr(const ModulesQr &qr)
{
    constexpr int bordure = 4;
    const int cote = qr.taille + bordure * 2;
    QString svg;
    svg.reserve(64 + qr.taille * qr.taille * 12);
    svg += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    svg += QStringLiteral("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                          "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n");
    svg += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 ") +
           QString::number(cote) + QLatin1Char(' ') + QString::number(cote) +
           QStringLiteral("\" stroke=\"none\">\n");
    svg += QStringLiteral("\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n");
    svg += QStringLiteral("\t<path d=\"");
    for (int y = 0; y < qr.taille; ++y) {
        for (int x = 0; x < qr.taille; ++x) {
            if (!qr.sombre(x, y))
                continue;
            // The separator rule looks at the module's position, not at whether a square came
            // before: the top-left module is always dark (finder pattern), so no leading space.
            if (x != 0 || y != 0)
                svg += QLatin1Char(' ');
            svg += QLatin1Char('M') + QString::number(x + bordure) + QLatin1Char(',') +
                   QString::number(y + bordure) + QStringLiteral("h1v1h-1z");
        }
    }
    svg += QStringLiteral("\" fill=\"#000000\"/>\n");
    svg += QStringLiteral("</svg>\n");
    return svg;
}

std::optional<QString> svgQr(const QString &texte)
{
    const std::optional<ModulesQr> qr = modulesQr(texte);
    if (!qr)
        return std::nullopt;
    return svgQr(*qr);
}
