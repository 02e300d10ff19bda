#include "certificationappareil.h"

#include "commandesmcf.h"
#include "liaisonmcf.h"
#include "portmcf.h"
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
        for (const LigneJournal &ligne : enSuspens) {
            m_console << "Fermeture de la facture " << ligne.reference.toStdString() << " ("
                      << nomEtat(ligne.etat).toStdString() << ").\n";
            // Closing a paid invoice validates it: from here on only the device knows the outcome.
            if (ligne.etat == EtatCertification::Payee &&
                !journal.annoncer(ligne.reference, EtatCertification::FermetureEnvoyee))
                continue;
            const Fermeture fermeture = commandes.fermerFacture();
            if (fermeture.issue == Fermeture::Validee)
                journal.regler(ligne, resultatDepuisListe(fermeture.resultat));
            else if (fermeture.issue == Fermeture::Annulee || ligne.etat == EtatCertification::Ouverte)
                // An invoice that was never paid cannot have been validated, whatever the reply.
                journal.regler(ligne, std::nullopt);
            else
                m_console << "Facture " << ligne.reference.toStdString()
                          << ": le MCF n'a pas repondu a sa fermeture, elle reste en suspens.\n";
        }
    }
    port.fermer();
}

std::optional<ResultatFiscal> CertificationAppareil::certifier(const Invoice &facture,
                                                               JournalCertification &journal)
{
    ContexteAppareil contexte;
    contexte.facture = facture;
    contexte.parametres = m_parametres;
    contexte.journal = &journal;
    PortSerieMCF port(m_parametres.portMCF);
    const std::optional<QStringList> resultat =
        certifierSurAppareil(facture.reference, contexte, port, m_console, m_attenteMs);
    return resultat ? resultatDepuisListe(*resultat) : std::nullopt;
}
