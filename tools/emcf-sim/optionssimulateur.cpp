#include "optionssimulateur.h"

#include <QCommandLineParser>
#include <QJsonDocument>

namespace {

// "decision" names both answers to a pending invoice.
std::optional<QSet<EtapeEmcf>> etapes(const QString &nom)
{
    if (nom == QStringLiteral("etat"))
        return QSet<EtapeEmcf>{EtapeEmcf::Etat};
    if (nom == QStringLiteral("soumission"))
        return QSet<EtapeEmcf>{EtapeEmcf::Soumission};
    if (nom == QStringLiteral("confirmation"))
        return QSet<EtapeEmcf>{EtapeEmcf::Confirmation};
    if (nom == QStringLiteral("annulation"))
        return QSet<EtapeEmcf>{EtapeEmcf::Annulation};
    if (nom == QStringLiteral("decision"))
        return QSet<EtapeEmcf>{EtapeEmcf::Confirmation, EtapeEmcf::Annulation};
    return std::nullopt;
}

} // namespace

std::optional<bool> paysNiger(const QString &pays)
{
    if (pays == QStringLiteral("BJ") || pays == QStringLiteral("Bénin") || pays == QStringLiteral("Benin"))
        return false;
    if (pays == QStringLiteral("NE") || pays == QStringLiteral("Niger"))
        return true;
    return std::nullopt;
}

std::optional<OptionsSimulateur> lireOptions(const QStringList &arguments, QString &erreur, bool &aide)
{
    aide = false;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Double de test du service e-MCF de certification des factures, en HTTPS sur un port local.\n"
        "Ecrit son adresse sur la premiere ligne, puis une ligne par connexion TLS acceptee\n"
        "(\"+ connexion TLS n\"), par requete (\"> METHODE chemin corps\") et par reponse\n"
        "(\"< statut corps\"). Etapes des pannes: etat (GET), soumission (POST), confirmation\n"
        "(PUT .../uid/confirm), annulation (PUT .../uid/cancel), decision (les deux dernieres)."));
    const QCommandLineOption optionAide({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("aide")},
                                        QStringLiteral("Affiche cette aide."));
    const QCommandLineOption certificat(QStringLiteral("certificat"),
                                        QStringLiteral("Certificat PEM (chaine) du serveur. Obligatoire."),
                                        QStringLiteral("fichier"));
    const QCommandLineOption cle(QStringLiteral("cle"),
                                 QStringLiteral("Cle privee PEM (RSA ou EC). Obligatoire."),
                                 QStringLiteral("fichier"));
    const QCommandLineOption adresse(QStringLiteral("adresse"),
                                     QStringLiteral("Adresse d'ecoute (127.0.0.1)."), QStringLiteral("ip"),
                                     QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port (0: un port libre quelconque)."), QStringLiteral("n"),
                                  QStringLiteral("0"));
    const QCommandLineOption pays(
        QStringLiteral("pays"),
        QStringLiteral("Vocabulaire: BJ ou Bénin (ifu, aib, codeMECeFDGI), NE ou Niger (nif, isb, "
                       "codeSECeFDGI). Par defaut BJ."),
        QStringLiteral("BJ|NE"), QStringLiteral("BJ"));
    const QCommandLineOption jeton(QStringLiteral("jeton"), QStringLiteral("Jeton attendu (jeton-de-test)."),
                                   QStringLiteral("texte"), QStringLiteral("jeton-de-test"));
    const QCommandLineOption chemin(QStringLiteral("chemin"),
                                    QStringLiteral("Chemin des factures (par defaut /emcf/api/invoice au "
                                                   "Bénin, /api/invoice au Niger)."),
                                    QStringLiteral("chemin"));
    const QCommandLineOption vendeur(
        QStringLiteral("vendeur"),
        QStringLiteral("Numero fiscal du vendeur, renvoye et exige (3201234567890)."),
        QStringLiteral("numero"), QStringLiteral("3201234567890"));
    const QCommandLineOption nim(QStringLiteral("nim"),
                                 QStringLiteral("Identifiant de l'unite fiscale (ED04000001)."),
                                 QStringLiteral("nim"), QStringLiteral("ED04000001"));
    const QCommandLineOption compteur(QStringLiteral("compteur"),
                                      QStringLiteral("Les compteurs commencent apres ce nombre (0)."),
                                      QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption date(QStringLiteral("date"),
                                  QStringLiteral("Date et heure fixes de toutes les reponses, "
                                                 "yyyy-MM-ddTHH:mm:ss."),
                                  QStringLiteral("date"));
    const QCommandLineOption expiration(
        QStringLiteral("expiration-ms"),
        QStringLiteral("Delai apres lequel une facture en attente est oubliee (120000)."),
        QStringLiteral("ms"), QStringLiteral("120000"));
    const QCommandLineOption refus400(
        QStringLiteral("refus-http-400"),
        QStringLiteral("Refus en HTTP 400 (404 pour un uid inconnu) au lieu de HTTP 200, comme les "
                       "anciennes versions du double."));
    const QCommandLineOption ecart(QStringLiteral("ecart-total"),
                                   QStringLiteral("Panne: ajoute ce montant a chaque total calcule."),
                                   QStringLiteral("montant"));
    const QCommandLineOption nonJson(
        QStringLiteral("non-json"),
        QStringLiteral("Panne: repond a cette etape par une page HTML (repetable)."),
        QStringLiteral("etape"));
    const QCommandLineOption tableau(
        QStringLiteral("tableau"),
        QStringLiteral("Panne: repond a cette etape par un tableau JSON (repetable)."),
        QStringLiteral("etape"));
    const QCommandLineOption silence(QStringLiteral("silence"),
                                     QStringLiteral("Panne: ne repond jamais a cette etape (repetable)."),
                                     QStringLiteral("etape"));
    const QCommandLineOption geant(
        QStringLiteral("corps-geant"),
        QStringLiteral("Panne: la reponse JSON de cette etape est allongee a --taille-corps-geant octets "
                       "(repetable)."),
        QStringLiteral("etape"));
    const QCommandLineOption tailleGeant(QStringLiteral("taille-corps-geant"),
                                         QStringLiteral("Taille des reponses allongees (2097152)."),
                                         QStringLiteral("octets"), QStringLiteral("2097152"));
    const QCommandLineOption sansStatus(QStringLiteral("etat-sans-status"),
                                        QStringLiteral("Panne: la reponse d'etat n'a pas de \"status\"."));
    const QCommandLineOption etatStatus(
        QStringLiteral("etat-status"),
        QStringLiteral("Panne: la reponse d'etat est {\"status\": VALEUR, \"title\": ...}, VALEUR etant "
                       "un texte JSON ecrit tel quel (par exemple 1e19)."),
        QStringLiteral("json"));
    const QCommandLineOption pauseAvant(
        QStringLiteral("pause-avant"),
        QStringLiteral("Traite la requete de cette etape (etat, soumission ou decision), puis attend MS "
                       "avant d'y repondre, pour les N premieres seulement si N est donne (repetable), "
                       "par exemple decision:500 ou soumission:1500:1."),
        QStringLiteral("etape:ms[:n]"));
    p.addOptions({optionAide, certificat, cle,      adresse,     port,       pays,      jeton, chemin,
                  vendeur,    nim,        compteur, date,        expiration, refus400,  ecart, nonJson,
                  tableau,    silence,    geant,    tailleGeant, sansStatus, etatStatus, pauseAvant});

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
        erreur = QStringLiteral("argument inattendu: ") + p.positionalArguments().first();
        return std::nullopt;
    }

    OptionsSimulateur o;
    o.certificat = p.value(certificat);
    o.cle = p.value(cle);
    if (o.certificat.isEmpty() || o.cle.isEmpty()) {
        erreur = QStringLiteral("--certificat et --cle sont obligatoires");
        return std::nullopt;
    }
    if (!o.adresse.setAddress(p.value(adresse))) {
        erreur = QStringLiteral("adresse invalide: ") + p.value(adresse);
        return std::nullopt;
    }
    bool ok = false;
    const uint numeroPort = p.value(port).toUInt(&ok);
    if (!ok || numeroPort > 65535) {
        erreur = QStringLiteral("port invalide: ") + p.value(port);
        return std::nullopt;
    }
    o.port = static_cast<quint16>(numeroPort);

    OptionsService &s = o.service;
    const std::optional<bool> niger = paysNiger(p.value(pays));
    if (!niger) {
        erreur = QStringLiteral("--pays doit etre BJ, NE, Bénin ou Niger");
        return std::nullopt;
    }
    s.niger = *niger;
    s.jeton = p.value(jeton);
    s.chemin = p.isSet(chemin)
                   ? p.value(chemin)
                   : (s.niger ? QStringLiteral("/api/invoice") : QStringLiteral("/emcf/api/invoice"));
    s.identifiantVendeur = p.value(vendeur);
    s.nim = p.value(nim);
    s.compteurInitial = p.value(compteur).toInt(&ok);
    if (!ok || s.compteurInitial < 0) {
        erreur = QStringLiteral("--compteur invalide");
        return std::nullopt;
    }
    if (p.isSet(date)) {
        s.dateFixe = QDateTime::fromString(p.value(date), Qt::ISODate);
        if (!s.dateFixe.isValid()) {
            erreur = QStringLiteral("--date invalide");
            return std::nullopt;
        }
    }
    s.expirationMs = p.value(expiration).toLongLong(&ok);
    if (!ok || s.expirationMs < 0) {
        erreur = QStringLiteral("--expiration-ms invalide");
        return std::nullopt;
    }
    s.refusHttp400 = p.isSet(refus400);
    if (p.isSet(ecart)) {
        s.ecartTotal = p.value(ecart).toDouble(&ok);
        if (!ok) {
            erreur = QStringLiteral("--ecart-total invalide");
            return std::nullopt;
        }
    }
    s.tailleCorpsGeant = p.value(tailleGeant).toLongLong(&ok);
    if (!ok || s.tailleCorpsGeant < 0 || s.tailleCorpsGeant > (qint64(1) << 30)) {
        erreur = QStringLiteral("--taille-corps-geant invalide");
        return std::nullopt;
    }
    const QList<QPair<const QCommandLineOption *, QSet<EtapeEmcf> *>> pannes = {
        {&nonJson, &s.nonJson}, {&tableau, &s.tableau}, {&silence, &s.silence}, {&geant, &s.corpsGeant}};
    for (const auto &[option, ensemble] : pannes) {
        for (const QString &nom : p.values(*option)) {
            const auto e = etapes(nom);
            if (!e) {
                erreur = QStringLiteral("etape inconnue: ") + nom +
                         QStringLiteral(" (etat, soumission, confirmation, annulation, decision)");
                return std::nullopt;
            }
            ensemble->unite(*e);
        }
    }
    s.etatSansStatus = p.isSet(sansStatus);
    if (p.isSet(etatStatus)) {
        // Checked as JSON so that the reply stays a JSON document.
        QJsonParseError e;
        QJsonDocument::fromJson("[" + p.value(etatStatus).toUtf8() + "]", &e);
        if (e.error != QJsonParseError::NoError || p.value(etatStatus).trimmed().isEmpty()) {
            erreur = QStringLiteral("--etat-status n'est pas une valeur JSON");
            return std::nullopt;
        }
        s.etatStatus = p.value(etatStatus);
    }
    for (const QString &t : p.values(pauseAvant)) {
        const QString nom = t.section(QLatin1Char(':'), 0, 0);
        Pause pause;
        pause.ms = t.section(QLatin1Char(':'), 1, 1).toInt(&ok);
        bool nombreOk = true;
        if (t.count(QLatin1Char(':')) == 2)
            pause.nombre = t.section(QLatin1Char(':'), 2).toInt(&nombreOk);
        if (!ok || !nombreOk || pause.ms < 0 || pause.nombre < -1 || t.count(QLatin1Char(':')) > 2 ||
            !QStringList{QStringLiteral("etat"), QStringLiteral("soumission"), QStringLiteral("decision")}.contains(nom)) {
            erreur = QStringLiteral("--pause-avant invalide: ") + t;
            return std::nullopt;
        }
        o.pauses.insert(nom, pause);
    }
    return o;
}
