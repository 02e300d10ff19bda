#include "facturesensuspens.h"

#include <decisionoperateur.h>
#include <etatscertification.h>
#include <registre.h>
#include <titulaire.h>

#include <QCoreApplication>
#include <QDateTime>

namespace {

const QString nomConnexion = QStringLiteral("orvane-setup-registre");

} // namespace

QString FacturesEnSuspens::cheminParDefaut()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/mcf.s3db");
}

FacturesEnSuspens::FacturesEnSuspens(const QString &cheminRegistre)
{
    m_emplacement.fichier = cheminRegistre;
}

QString FacturesEnSuspens::tester(const EmplacementRegistre &emplacement)
{
    if (!emplacement.partage())
        return QStringLiteral("Registre local: %1 à côté du moteur.").arg(QStringLiteral("mcf.s3db"));
    Registre registre(QStringLiteral("orvane-setup-test"));
    if (!registre.ouvrirExistant(emplacement))
        return QStringLiteral("Registre injoignable ou inutilisable: %1").arg(registre.erreur());
    const std::optional<QList<LigneJournal>> lignes = registre.lignesEnSuspens();
    if (!lignes)
        return QStringLiteral("Registre illisible: %1").arg(registre.erreur());
    return QStringLiteral("Registre partagé joignable (%1): %2 facture(s) en suspens.")
        .arg(adresseSansSecret(emplacement.adresse))
        .arg(lignes->size());
}

ListeEnSuspens FacturesEnSuspens::lire() const
{
    ListeEnSuspens liste;
    Registre registre(nomConnexion);
    if (!registre.ouvrirExistant(m_emplacement)) {
        liste.erreur = registre.erreur();
        return liste;
    }
    const std::optional<QList<LigneJournal>> lignes = registre.lignesEnSuspens();
    if (!lignes) {
        liste.erreur = registre.erreur();
        return liste;
    }
    liste.lisible = true;
    for (const LigneJournal &ligne : *lignes) {
        FactureEnSuspens facture;
        facture.ligne = ligne;
        facture.chemin = texteChemin(ligne);
        facture.etat = nomEtat(ligne.etat);
        facture.depuis = texteDepuis(ligne.modifie);
        facture.conseil = conseilOperateur(ligne);
        facture.enCours = registre.executionVivante(ligne.titulaire);
        facture.abandonnable = abandonPossible(ligne, registre.vivacite());
        liste.factures << facture;
    }
    return liste;
}

IssueAbandonPage FacturesEnSuspens::abandonner(const QString &reference) const
{
    Registre registre(nomConnexion);
    AbandonOperateur abandon;
    if (registre.ouvrirExistant(m_emplacement))
        abandon = abandonnerFacture(registre, reference);
    else
        abandon.erreur = registre.erreur();
    return {abandon.issue == AbandonOperateur::Issue::Abandonnee, texteAbandon(reference, abandon).trimmed()};
}

QString FacturesEnSuspens::texteDetail(const FactureEnSuspens &facture)
{
    QString texte = QStringLiteral("%1, %2: %3").arg(facture.ligne.reference, facture.chemin, facture.etat);
    if (!facture.depuis.isEmpty())
        texte += QStringLiteral(" depuis le %1").arg(facture.depuis);
    texte += QStringLiteral(".\nÀ vérifier: %1").arg(facture.conseil);
    if (facture.enCours)
        texte += QStringLiteral("\nEn cours de certification par une autre exécution (%1): elle ne peut pas "
                                "être abandonnée maintenant.")
                     .arg(texteTitulaire(facture.ligne.titulaire));
    return texte;
}

QString FacturesEnSuspens::questionAbandon(const LigneJournal &ligne)
{
    QString verification;
    if (ligne.chemin == cheminAppareil)
        verification =
            QStringLiteral("sur le MCF (sa dernière facture et ses compteurs) qu'elle n'y a pas été "
                           "validée");
    else if (ligne.chemin == cheminEmcf)
        verification = QStringLiteral("sur votre compte e-MCF qu'elle n'y a pas été confirmée");
    else
        verification = QStringLiteral("sur le MCF ou le service e-MCF qu'elle n'y a pas été validée");
    return QStringLiteral("Abandonner la facture %1 ?\n\nLa prochaine exécution la certifiera de nouveau. "
                          "Vérifiez d'abord %2: sinon elle serait certifiée deux fois.")
        .arg(ligne.reference, verification);
}

QString FacturesEnSuspens::texteChemin(const LigneJournal &ligne)
{
    QString nom = ligne.chemin;
    if (ligne.chemin == cheminAppareil)
        nom = QStringLiteral("MCF");
    else if (ligne.chemin == cheminEmcf)
        nom = QStringLiteral("e-MCF");
    return ligne.destination.isEmpty() ? nom : nom + QLatin1Char(' ') + ligne.destination;
}

QString FacturesEnSuspens::texteDepuis(const QString &instantUtc)
{
    QDateTime instant = QDateTime::fromString(instantUtc, Qt::ISODateWithMs);
    if (!instant.isValid())
        return instantUtc;
    // The journal writes UTC with a "Z"; a time without a zone is taken as UTC all the same.
    if (instant.timeSpec() == Qt::LocalTime)
        instant.setTimeSpec(Qt::UTC);
    return instant.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}
