#include "optionssimulateur.h"

#include <QCommandLineParser>

namespace {

std::optional<EtapeEmcf> etape(const QString &nom)
{
    if (nom == QStringLiteral("etat"))
        return EtapeEmcf::Etat;
    if (nom == QStringLiteral("soumission"))
        return EtapeEmcf::Soumission;
    if (nom == QStringLiteral("decision"))
        return EtapeEmcf::Decision;
    return std::nullopt;
}

} // namespace

std::optional<OptionsSimulateur> lireOptions(const QStringList &arguments, QString &erreur, bool &aide)
{
    aide = false;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Stand-in for the e-MCF invoice certification service, over HTTPS on a local port.\n"
        "Prints its URL on the first line, then one line per request (\"> METHOD path body\") and per\n"
        "answer (\"< status body\"). Steps for faults: etat (GET status), soumission (POST invoice),\n"
        "decision (PUT .../uid/confirm or .../uid/cancel)."));
    const QCommandLineOption optionAide({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    const QCommandLineOption certificat(QStringLiteral("certificat"),
                                        QStringLiteral("PEM certificate (chain) of the server. Required."),
                                        QStringLiteral("fichier"));
    const QCommandLineOption cle(QStringLiteral("cle"),
                                 QStringLiteral("PEM private key (RSA or EC). Required."),
                                 QStringLiteral("fichier"));
    const QCommandLineOption adresse(QStringLiteral("adresse"),
                                     QStringLiteral("Address to listen on (127.0.0.1)."),
                                     QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port (0: any free port)."),
                                  QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption pays(
        QStringLiteral("pays"),
        QStringLiteral("Vocabulary: Bénin (ifu, aib, codeMECeFDGI) or Niger (nif, isb, "
                       "codeSECeFDGI). Default Bénin."),
        QStringLiteral("pays"), QStringLiteral("Bénin"));
    const QCommandLineOption jeton(QStringLiteral("jeton"),
                                   QStringLiteral("Expected bearer token (jeton-de-test)."),
                                   QStringLiteral("texte"), QStringLiteral("jeton-de-test"));
    const QCommandLineOption chemin(QStringLiteral("chemin"),
                                    QStringLiteral("Invoice path (default /emcf/api/invoice in Bénin, "
                                                   "/api/invoice in Niger)."),
                                    QStringLiteral("chemin"));
    const QCommandLineOption vendeur(
        QStringLiteral("vendeur"),
        QStringLiteral("Seller's tax number answered and required (3201234567890)."),
        QStringLiteral("numero"), QStringLiteral("3201234567890"));
    const QCommandLineOption nim(QStringLiteral("nim"),
                                 QStringLiteral("Identifier of the fiscal unit (ED04000001)."),
                                 QStringLiteral("nim"), QStringLiteral("ED04000001"));
    const QCommandLineOption compteur(QStringLiteral("compteur"),
                                      QStringLiteral("Counters start after this number (0)."),
                                      QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption date(QStringLiteral("date"),
                                  QStringLiteral("Fixed date and time of every reply, yyyy-MM-ddTHH:mm:ss."),
                                  QStringLiteral("date"));
    const QCommandLineOption ecart(QStringLiteral("ecart-total"),
                                   QStringLiteral("Fault: add this amount to every computed total."),
                                   QStringLiteral("montant"));
    const QCommandLineOption nonJson(
        QStringLiteral("non-json"), QStringLiteral("Fault: answer this step with an HTML page (repeatable)."),
        QStringLiteral("etape"));
    const QCommandLineOption tableau(
        QStringLiteral("tableau"), QStringLiteral("Fault: answer this step with a JSON array (repeatable)."),
        QStringLiteral("etape"));
    const QCommandLineOption silence(QStringLiteral("silence"),
                                     QStringLiteral("Fault: never answer this step (repeatable)."),
                                     QStringLiteral("etape"));
    const QCommandLineOption sansStatus(QStringLiteral("etat-sans-status"),
                                        QStringLiteral("Fault: the status reply has no \"status\"."));
    p.addOptions({optionAide, certificat, cle, adresse, port, pays, jeton, chemin, vendeur, nim, compteur,
                  date, ecart, nonJson, tableau, silence, sansStatus});
    const QCommandLineOption pauseAvant(
        QStringLiteral("pause-avant"),
        QStringLiteral("Traiter la requete de cette etape, puis attendre ms avant d'y repondre "
                       "(repetable), par exemple decision:500."),
        QStringLiteral("etape:ms"));
    p.addOption(pauseAvant);

    if (!p.parse(arguments)) {
        erreur = p.errorText();
        return std::nullopt;
    }
    if (p.isSet(optionAide)) {
        aide = true;
        erreur = p.helpText();
        return std::nullopt;
    }
    if (!p.positionalArguments().isEmpty()) {
        erreur = QStringLiteral("unexpected argument: ") + p.positionalArguments().first();
        return std::nullopt;
    }

    OptionsSimulateur o;
    o.certificat = p.value(certificat);
    o.cle = p.value(cle);
    if (o.certificat.isEmpty() || o.cle.isEmpty()) {
        erreur = QStringLiteral("--certificat and --cle are required");
        return std::nullopt;
    }
    if (!o.adresse.setAddress(p.value(adresse))) {
        erreur = QStringLiteral("bad address: ") + p.value(adresse);
        return std::nullopt;
    }
    bool ok = false;
    const uint numeroPort = p.value(port).toUInt(&ok);
    if (!ok || numeroPort > 65535) {
        erreur = QStringLiteral("bad port: ") + p.value(port);
        return std::nullopt;
    }
    o.port = static_cast<quint16>(numeroPort);

    OptionsService &s = o.service;
    const QString nomPays = p.value(pays);
    if (nomPays != QStringLiteral("Bénin") && nomPays != QStringLiteral("Niger")) {
        erreur = QStringLiteral("--pays must be Bénin or Niger");
        return std::nullopt;
    }
    s.niger = nomPays == QStringLiteral("Niger");
    s.jeton = p.value(jeton);
    s.chemin = p.isSet(chemin)
                   ? p.value(chemin)
                   : (s.niger ? QStringLiteral("/api/invoice") : QStringLiteral("/emcf/api/invoice"));
    s.identifiantVendeur = p.value(vendeur);
    s.nim = p.value(nim);
    s.compteurInitial = p.value(compteur).toInt(&ok);
    if (!ok || s.compteurInitial < 0) {
        erreur = QStringLiteral("bad --compteur");
        return std::nullopt;
    }
    if (p.isSet(date)) {
        s.dateFixe = QDateTime::fromString(p.value(date), Qt::ISODate);
        if (!s.dateFixe.isValid()) {
            erreur = QStringLiteral("bad --date");
            return std::nullopt;
        }
    }
    if (p.isSet(ecart)) {
        s.ecartTotal = p.value(ecart).toDouble(&ok);
        if (!ok) {
            erreur = QStringLiteral("bad --ecart-total");
            return std::nullopt;
        }
    }
    const QList<QPair<const QCommandLineOption *, QSet<EtapeEmcf> *>> pannes = {
        {&nonJson, &s.nonJson}, {&tableau, &s.tableau}, {&silence, &s.silence}};
    for (const auto &[option, etapes] : pannes) {
        for (const QString &nom : p.values(*option)) {
            const auto e = etape(nom);
            if (!e) {
                erreur =
                    QStringLiteral("unknown step: ") + nom + QStringLiteral(" (etat, soumission, decision)");
                return std::nullopt;
            }
            etapes->insert(*e);
        }
    }
    s.etatSansStatus = p.isSet(sansStatus);
    for (const QString &t : p.values(pauseAvant)) {
        const QString nom = t.section(QLatin1Char(':'), 0, 0);
        const int ms = t.section(QLatin1Char(':'), 1).toInt(&ok);
        if (!ok || ms < 0 || !etape(nom)) {
            erreur = QStringLiteral("bad --pause-avant: ") + t;
            return std::nullopt;
        }
        o.pausesMs.insert(nom, ms);
    }
    return o;
}
