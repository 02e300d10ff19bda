#pragma once

#include <QString>

#include <optional>

// Where one certification stands, as the journal records it. Each state is written before the step
// it announces is sent to the device or the service, so that a run that dies at any point leaves
// behind what the next run must settle.
enum class EtatCertification {
    Reclamee,            // claimed by a run; nothing sent yet
    Ouverte,             // new-invoice command sent to the device
    Payee,               // payment command sent to the device
    FermetureEnvoyee,    // close command sent: the device decides; settled by the next run
    IssueInconnue,       // a close sent again was refused: the first one had arrived, its codes are lost
    SoumissionEnvoyee,   // invoice posted to the e-MCF service, no uid known yet
    Soumise,             // the service holds it pending under `uid`
    ConfirmationEnvoyee, // confirmation of `uid` sent: outcome unknown until recorded
    Terminee,            // recorded in `facture`
    Abandonnee,          // nothing certified, or released by the operator
    AbandonneeOperateur, // released by the operator while the device may still hold it open
};

// Every state, in the order above (tests walk them all).
inline constexpr EtatCertification tousLesEtats[] = {
    EtatCertification::Reclamee,
    EtatCertification::Ouverte,
    EtatCertification::Payee,
    EtatCertification::FermetureEnvoyee,
    EtatCertification::IssueInconnue,
    EtatCertification::SoumissionEnvoyee,
    EtatCertification::Soumise,
    EtatCertification::ConfirmationEnvoyee,
    EtatCertification::Terminee,
    EtatCertification::Abandonnee,
    EtatCertification::AbandonneeOperateur,
};

// The name stored in the journal ("reclamee", "fermeture envoyee", ...).
QString nomEtat(EtatCertification etat);
// The state a stored name stands for; nothing for a name this version does not know.
std::optional<EtatCertification> etatDepuisNom(const QString &nom);

// The one table of the journal's allowed state changes: true when a row in state `de` may be moved
// to `vers`. Staying in a state is allowed (a takeover, a uid written). Every write of a state goes
// through this test.
bool changementPermis(EtatCertification de, EtatCertification vers);

// True for the two end states: recorded, or released with nothing certified.
bool etatTermine(EtatCertification etat);

// True for a state in which the device or the service may hold something of the invoice that a
// run must settle before anything else on that device or service.
bool etatEngage(EtatCertification etat);

// True for a state in which the invoice may have been paid on the device: a validation brought by
// a close can only belong to such an invoice. `payeeAvantAbandon` tells it for a row the operator
// released.
bool etatPeutEtreValide(EtatCertification etat, bool payeeAvantAbandon);

// True when only the operator can release the row: the outcome is unknown and no run can find it.
bool etatAttendOperateur(EtatCertification etat);
// True when the operator is told of the row at every run: it waits for them, or for a service that
// may never say how its confirmation ended.
bool etatSignaleOperateur(EtatCertification etat);
