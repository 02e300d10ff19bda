#include "journalcertification.h"

JournalRegistre::JournalRegistre(Registre &registre, const TitulaireExecution &titulaire,
                                 std::ostream &console)
    : m_registre(registre), m_titulaire(titulaire), m_console(console)
{
}

bool JournalRegistre::annoncer(const QString &reference, EtatCertification etat, const QString &uid)
{
    if (m_registre.changerEtat(reference, etat, m_titulaire, uid))
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
        m_registre.changerEtat(ligne.reference, EtatCertification::Abandonnee, m_titulaire);
        m_console << "Facture " << reference
                  << " laissee en suspens par une execution precedente: non certifiee.\n";
        return;
    }
    if (m_registre.enregistrer(ligne.reference, *resultat)) {
        m_console << "Facture " << reference
                  << " laissee en suspens par une execution precedente: certifiee et enregistree.\n";
    } else {
        // The codes are on the console at least: the operator can record them by hand.
        m_console << "Facture " << reference << " certifiee mais impossible a enregistrer ("
                  << m_registre.erreur().toStdString() << "): QR " << resultat->qrcode.toStdString() << "\n";
    }
}
