#pragma once

#include "registre.h"

#include <resultatfiscal.h>

#include <QString>

#include <optional>
#include <ostream>

// What a certification path tells the run as it goes, so that the register's journal always says
// where each invoice stands. A state is announced before the step that it names is sent; when the
// announcement cannot be written, the step must not be sent.
class JournalCertification
{
public:
    virtual ~JournalCertification() = default;
    // Records `etat` (and the e-MCF `uid` when given) for `reference`; false when it could not be
    // written or the change is not allowed.
    virtual bool annoncer(const QString &reference, EtatCertification etat,
                          const QString &uid = QString()) = 0;
    // Records that the e-MCF submission of `reference` is about to go, with the fingerprint of what
    // it carries, by which a later run finds its pending invoice when the reply is lost.
    virtual bool annoncerSoumission(const QString &reference, const QString &empreinteSoumission)
    {
        Q_UNUSED(empreinteSoumission);
        return annoncer(reference, EtatCertification::SoumissionEnvoyee);
    }
    // An invoice left unfinished by an earlier run has been settled: its fiscal result, recorded
    // under its own reference, or nothing when it was not certified (its row is then released).
    virtual void regler(const LigneJournal &ligne, const std::optional<ResultatFiscal> &resultat) = 0;
    // An invoice left unfinished whose outcome can no longer be learnt: it is never certified again
    // unless the operator releases it.
    virtual void bloquer(const LigneJournal &ligne) = 0;
};

// The journal kept in the register for the run that `titulaire` names.
class JournalRegistre : public JournalCertification
{
public:
    JournalRegistre(Registre &registre, const TitulaireExecution &titulaire, std::ostream &console);

    bool annoncer(const QString &reference, EtatCertification etat, const QString &uid = QString()) override;
    bool annoncerSoumission(const QString &reference, const QString &empreinteSoumission) override;
    void regler(const LigneJournal &ligne, const std::optional<ResultatFiscal> &resultat) override;
    void bloquer(const LigneJournal &ligne) override;

private:
    bool ecrire(const QString &reference, EtatCertification etat, const QString &uid,
                const QString &empreinteSoumission);

    Registre &m_registre;
    TitulaireExecution m_titulaire;
    std::ostream &m_console;
};
