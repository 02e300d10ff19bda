// The renderer's reading and document building: the input file (UTF-8, either header layout),
// after the first 0x1E byte of the fuzz input the result file, and after a second 0x1E byte the
// texts of the settings that the documents print (company name, address, telephone, e-mail, RCCM,
// tax number, ISF, message, logo), separated by 0x1F bytes; a text the input does not give is
// markup ("Ets A<B & Fils <Cotonou>"). Both documents are built for both countries, with and without
// the result. The A4 invoice must hold no markup but its own: every text is escaped.
#include <document.h>
#include <resultatlu.h>

#include <lecturefacture.h>

#include <QByteArray>
#include <QIODevice>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

#include <cstdlib>

namespace {

// The settings' texts, in the order the fuzz input gives them.
QList<QString ParametresRendu::*> textesReglages()
{
    return {&ParametresRendu::entreprise, &ParametresRendu::adresse, &ParametresRendu::telephone,
            &ParametresRendu::email,      &ParametresRendu::rccm,    &ParametresRendu::ifu,
            &ParametresRendu::isf,        &ParametresRendu::message, &ParametresRendu::logo};
}

// Stops the run (a finding) unless every tag of `html` is one the A4 writer emits, with its
// attribute values quoted in pairs, and every "&" starts an entity the writer emits.
void verifierBalises(const QString &html)
{
    static const QSet<QString> balises{
        QStringLiteral("html"),  QStringLiteral("head"), QStringLiteral("body"), QStringLiteral("table"),
        QStringLiteral("thead"), QStringLiteral("tr"),   QStringLiteral("th"),   QStringLiteral("td"),
        QStringLiteral("b"),     QStringLiteral("br"),   QStringLiteral("h1"),   QStringLiteral("p"),
        QStringLiteral("img")};
    static const QRegularExpression nom(QStringLiteral("^/?([a-z0-9]+)"));
    static const QRegularExpression entite(QStringLiteral("^&(amp|lt|gt|quot|nbsp);"));
    for (qsizetype i = 0; i < html.size(); ++i) {
        if (html.at(i) == QLatin1Char('&')) {
            if (!entite.match(QStringView(html).mid(i, 6)).hasMatch())
                std::abort();
        } else if (html.at(i) == QLatin1Char('<')) {
            const qsizetype fin = html.indexOf(QLatin1Char('>'), i);
            if (fin < 0)
                std::abort();
            const QString balise = html.mid(i + 1, fin - i - 1);
            if (!balises.contains(nom.match(balise).captured(1)) || balise.count(QLatin1Char('"')) % 2 != 0)
                std::abort();
            i = fin;
        } else if (html.at(i) == QLatin1Char('>')) {
            std::abort(); // a ">" outside a tag is a data text that was not escaped
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray tout(reinterpret_cast<const char *>(donnees), static_cast<qsizetype>(taille));
    const QList<QByteArray> parties = tout.split('\x1e');
    QByteArray entree = parties.value(0);
    QByteArray resultatBrut = parties.value(1);
    const QList<QByteArray> reglages = parties.size() > 2 ? parties.at(2).split('\x1f') : QList<QByteArray>{};

    QTextStream fluxResultat(&resultatBrut, QIODevice::ReadOnly);
    fluxResultat.setEncoding(QStringConverter::Utf8);
    const ResultatLu resultat = lireResultat(fluxResultat);

    for (const QString &pays : {QStringLiteral("Bénin"), QStringLiteral("Niger")}) {
        ParametresRendu parametres;
        parametres.pays = pays;
        parametres.economieEspace = pays == QStringLiteral("Niger");
        parametres.logoTop = pays == QStringLiteral("Niger");
        parametres.apiVersion = parties.size() < 2 ? QStringLiteral("1") : QString();
        const QList<QString ParametresRendu::*> textes = textesReglages();
        for (qsizetype i = 0; i < textes.size(); ++i)
            parametres.*textes.at(i) = i < reglages.size()
                                           ? QString::fromUtf8(reglages.at(i))
                                           : QStringLiteral("Ets A<B & Fils <Cotonou> \"%1\"").arg(i);
        QTextStream flux(&entree, QIODevice::ReadOnly);
        flux.setEncoding(QStringConverter::Utf8);
        const Invoice facture =
            lireFacture(flux, {dispositionEntete(parametres.apiVersion), pays, /*arretImpressionVide=*/true});
        verifierBalises(construireDocument(facture, parametres, resultat, Variante::A4));
        verifierBalises(construireDocument(facture, parametres, std::nullopt, Variante::A4));
        (void)construireDocument(facture, parametres, resultat, Variante::Ticket, 32);
        (void)construireDocument(facture, parametres, std::nullopt, Variante::Ticket);
    }
    return 0;
}
