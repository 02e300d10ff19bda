#include "journalcertification.h"

#include "decisionoperateur.h"

JournalRegistre::JournalRegistre(Registre &registre, const TitulaireExecution &titulaire,
                                 std::ostream &console)
    : m_registre(registre), m_titulaire(titulaire), m_console(console)
{
}

bool JournalRegistre::annoncer(const QString &reference, EtatCertification etat, const QString &uid)
{
    return ecrire(reference, etat, uid, QString());
}

bool JournalRegistre::annoncerSoumission(const QString &reference, const QString &empreinteSoumission)
{
    return ecrire(reference, EtatCertification::SoumissionEnvoyee, QString(), empreinteSoumission);
}

bool JournalRegistre::ecrire(const QString &reference, EtatCertification etat, const QString &uid,
                             const QString &empreinteSoumission)
{
    if (m_registre.changerEtat(reference, etat, m_titulaire, uid, empreinteSoumission))
        return true;
    m_console << "Registre: impossible d'ecrire l'etat \"" << nomEtat(etat).toStdString()
              << "\" de la facture " << reference.toStdString() << ": " << m_registre.erreur().toStdString()
              << "\n";
    return false;
}

void JournalRegistre::regler(const LigneJournal &ligne, const std::optional<ResultatFiscal> &resultat)
{
    const std::string reference = ligne.reference.toStdString();
    if (!resultat) {
        if (annoncer(ligne.reference, EtatCertification::Abandonnee))
            m_console << "Facture " << reference
                      << " laissee en suspens par une execution precedente: non certifiee.\n";
        return;
    }
    if (m_registre.enregistrer(ligne.reference, *resultat)) {
        m_console << "Facture " << reference
                  << " laissee en suspens par une execution precedente: certifiee et enregistree (QR "
                  << resultat->qrcode.toStdString() << ").\n";
    } else {
        // The codes are on the console at least: the operator can record them by hand.
        m_console << "Facture " << reference << " certifiee mais impossible a enregistrer ("
                  << m_registre.erreur().toStdString() << "): QR " << resultat->qrcode.toStdString() << "\n";
    }
}

void JournalRegistre::bloquer(const LigneJournal &ligne)
{
    if (!annoncer(ligne.reference, EtatCertification::IssueInconnue))
        return;
    m_console << "Facture " << ligne.reference.toStdString()
              << ": le MCF l'avait deja fermee, ses codes sont perdus; elle n'est pas certifiee une seconde "
                 "fois.\n"
              << instructionAbandon(ligne).toStdString();
}
