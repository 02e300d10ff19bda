#include "certificationappareil.h"

#include "commandesmcf.h"
#include "liaisonmcf.h"
#include "portmcf.h"
#include "sequencefacture.h"

#include <algorithm>

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
    // A device holds one open invoice at a time and a close acts on whichever is open there. An
    // invoice left open and paid keeps the device from opening any other: when rows of both kinds
    // are pending, the paid one is the one open, so paid rows are closed first.
    QList<LigneJournal> lignes = enSuspens;
    std::stable_partition(lignes.begin(), lignes.end(),
                          [](const LigneJournal &l) { return l.etat == EtatCertification::Payee; });
    if (commandes.verifierEtatMachine()) {
        for (const LigneJournal &ligne : std::as_const(lignes)) {
            m_console << "Fermeture de la facture " << ligne.reference.toStdString() << " ("
                      << nomEtat(ligne.etat).toStdString() << ").\n";
            // Closing a paid invoice validates it: from here on only the device knows the outcome.
            if (ligne.etat == EtatCertification::Payee &&
                !journal.annoncer(ligne.reference, EtatCertification::FermetureEnvoyee))
                continue;
            const Fermeture fermeture = commandes.fermerFacture();
            if (fermeture.issue == Fermeture::Validee && ligne.etat == EtatCertification::Ouverte) {
                // An invoice that was never paid cannot have been validated: the device validated
                // another one that it held open. Its codes go to the console for the operator; this
                // invoice is released.
                m_console << "Facture " << ligne.reference.toStdString()
                          << ": le MCF a valide a sa fermeture une autre facture, qui n'est pas enregistree "
                             "sous cette reference (QR "
                          << fermeture.resultat.value(0).toStdString() << ").\n";
                journal.regler(ligne, std::nullopt);
            } else if (fermeture.issue == Fermeture::Validee)
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
