#include "certificationappareil.h"

#include "commandesmcf.h"
#include "liaisonmcf.h"
#include "portmcf.h"
#include "reglementappareil.h"
#include "sequencefacture.h"

CertificationAppareil::CertificationAppareil(const ParametresMoteur &parametres, int attenteMs,
                                             std::ostream &console)
    : m_parametres(parametres), m_attenteMs(attenteMs), m_console(console)
{
}

void CertificationAppareil::regler(const QList<LigneJournal> &enSuspens, const Invoice &, const QString &,
                                   JournalCertification &journal)
{
    m_console << "Factures laissees ouvertes sur le MCF par une execution interrompue: " << enSuspens.size()
              << "\n";
    PortSerieMCF port(m_parametres.portMCF);
    if (port.ouvrir() != OuverturePort::Ouvert) {
        journaliser(m_console, QStringLiteral("Impossible d'ouvrir le port."));
        return;
    }
    EtatAppareil appareil;
    LiaisonMCF liaison(port.flux(), m_console, m_attenteMs);
    CommandesMCF commandes(liaison, appareil);
    if (commandes.verifierEtatMachine()) {
        // The device holds at most one of these invoices open: one close settles them all. Closing
        // one that may have been paid validates it, so the run that sends it says so first.
        const std::optional<LigneJournal> validable = ligneValidable(enSuspens);
        if (!validable || validable->etat == EtatCertification::FermetureEnvoyee ||
            journal.annoncer(validable->reference, EtatCertification::FermetureEnvoyee))
            appliquer(reglementApresFermeture(enSuspens, commandes, liaison), journal);
    }
    port.fermer();
}

QList<DecisionReglement> CertificationAppareil::reglementApresFermeture(const QList<LigneJournal> &enSuspens,
                                                                        CommandesMCF &commandes,
                                                                        const LiaisonMCF &liaison)
{
    for (const LigneJournal &ligne : ordreOuverture(enSuspens))
        m_console << "Facture " << ligne.reference.toStdString() << " (" << nomEtat(ligne.etat).toStdString()
                  << ") a regler avec le MCF.\n";
    const Fermeture fermeture = commandes.fermerFacture();
    std::optional<ResultatFiscal> inexpliquee;
    const QList<DecisionReglement> decisions =
        reglerApresFermeture(enSuspens, fermeture, liaison.appareilMuet(), inexpliquee);
    if (inexpliquee)
        // Only an invoice that was paid can be validated, and none of these was: the device validated
        // one that no journal row explains. Its codes go to the console for the operator.
        m_console << "Le MCF a valide a sa fermeture une facture qu'aucune de ces references n'explique; "
                     "elle n'est enregistree sous aucune (QR "
                  << inexpliquee->qrcode.toStdString() << ", compteurs "
                  << inexpliquee->mecef_compt.toStdString() << ").\n";
    return decisions;
}

void CertificationAppareil::appliquer(const QList<DecisionReglement> &decisions,
                                      JournalCertification &journal)
{
    for (const DecisionReglement &d : decisions) {
        switch (d.sorte) {
        case DecisionReglement::Sorte::Enregistrer:
            journal.regler(d.ligne, d.resultat);
            break;
        case DecisionReglement::Sorte::Liberer:
            journal.regler(d.ligne, std::nullopt);
            break;
        case DecisionReglement::Sorte::Bloquer:
            journal.bloquer(d.ligne);
            break;
        case DecisionReglement::Sorte::Laisser:
            m_console << "Facture " << d.ligne.reference.toStdString()
                      << ": le MCF n'a pas repondu a sa fermeture, elle reste en suspens.\n";
            break;
        }
    }
}

std::optional<ResultatFiscal> CertificationAppareil::certifier(const Invoice &facture,
                                                               JournalCertification &journal)
{
    ContexteAppareil contexte;
    contexte.facture = facture;
    contexte.parametres = m_parametres;
    contexte.journal = &journal;
    PortSerieMCF port(m_parametres.portMCF);
    const std::optional<Fermeture> fermeture =
        certifierSurAppareil(facture.reference, contexte, port, m_console, m_attenteMs);
    return fermeture ? fermeture->resultat : std::nullopt;
}

QString CertificationAppareil::identifier()
{
    PortSerieMCF port(m_parametres.portMCF);
    if (port.ouvrir() != OuverturePort::Ouvert)
        return {};
    EtatAppareil appareil;
    LiaisonMCF liaison(port.flux(), m_console, m_attenteMs);
    CommandesMCF commandes(liaison, appareil);
    const bool lu = commandes.verifierEtatMachine();
    port.fermer();
    return lu ? appareil.identifiantMCF : QString();
}
