#include "etatscertification.h"

#include <QList>
#include <QPair>

namespace {

using E = EtatCertification;

const QList<QPair<E, QString>> &nomsEtats()
{
    static const QList<QPair<E, QString>> noms = {
        {E::Reclamee, QStringLiteral("reclamee")},
        {E::Ouverte, QStringLiteral("ouverte")},
        {E::Payee, QStringLiteral("payee")},
        {E::FermetureEnvoyee, QStringLiteral("fermeture envoyee")},
        {E::IssueInconnue, QStringLiteral("issue inconnue")},
        {E::SoumissionEnvoyee, QStringLiteral("soumission envoyee")},
        {E::Soumise, QStringLiteral("soumise")},
        {E::ConfirmationEnvoyee, QStringLiteral("confirmation envoyee")},
        {E::Terminee, QStringLiteral("terminee")},
        {E::Abandonnee, QStringLiteral("abandonnee")},
        {E::AbandonneeOperateur, QStringLiteral("abandonnee par l'operateur")},
    };
    return noms;
}

struct Changement
{
    E de;
    std::initializer_list<E> vers;
};

// From each state, where a certification may go next, and why.
const Changement changements[] = {
    // The device path opens the invoice, the e-MCF path submits it; a run that stops first
    // releases its claim.
    {E::Reclamee, {E::Ouverte, E::SoumissionEnvoyee, E::Abandonnee}},
    // Paid; or closed unpaid (cancelled, or validated by the device all the same); or released when
    // the device refused it or cancelled it; or released by the operator.
    {E::Ouverte, {E::Payee, E::Terminee, E::Abandonnee, E::AbandonneeOperateur}},
    // The close is announced; a run settling it records the device's answer to its own close.
    {E::Payee, {E::FermetureEnvoyee, E::Terminee, E::Abandonnee, E::IssueInconnue, E::AbandonneeOperateur}},
    {E::FermetureEnvoyee, {E::Terminee, E::Abandonnee, E::IssueInconnue, E::AbandonneeOperateur}},
    // Nothing can be learnt from the device any more: only the operator releases it.
    {E::IssueInconnue, {E::Abandonnee}},
    {E::SoumissionEnvoyee, {E::Soumise, E::ConfirmationEnvoyee, E::Abandonnee}},
    {E::Soumise, {E::ConfirmationEnvoyee, E::Abandonnee}},
    {E::ConfirmationEnvoyee, {E::Terminee, E::Abandonnee}},
    // A certified invoice is never certified again.
    {E::Terminee, {}},
    // Released: the reference may be claimed again.
    {E::Abandonnee, {E::Reclamee}},
    // Settled at the next run on that device, which announces its close when it may have been paid:
    // recorded when the device validates it, released otherwise.
    {E::AbandonneeOperateur, {E::FermetureEnvoyee, E::Terminee, E::Abandonnee}},
};

} // namespace

QString nomEtat(EtatCertification etat)
{
    for (const auto &e : nomsEtats()) {
        if (e.first == etat)
            return e.second;
    }
    return {};
}

std::optional<EtatCertification> etatDepuisNom(const QString &nom)
{
    for (const auto &e : nomsEtats()) {
        if (e.second == nom)
            return e.first;
    }
    return std::nullopt;
}

bool changementPermis(EtatCertification de, EtatCertification vers)
{
    if (de == vers)
        return !etatTermine(de);
    for (const Changement &c : changements) {
        if (c.de == de)
            return std::find(c.vers.begin(), c.vers.end(), vers) != c.vers.end();
    }
    return false;
}

bool etatTermine(EtatCertification etat)
{
    return etat == E::Terminee || etat == E::Abandonnee;
}

bool etatEngage(EtatCertification etat)
{
    switch (etat) {
    case E::Ouverte:
    case E::Payee:
    case E::FermetureEnvoyee:
    case E::SoumissionEnvoyee:
    case E::Soumise:
    case E::ConfirmationEnvoyee:
    case E::AbandonneeOperateur:
        return true;
    default:
        return false;
    }
}

bool etatPeutEtreValide(EtatCertification etat, bool payeeAvantAbandon)
{
    return etat == E::Payee || etat == E::FermetureEnvoyee ||
           (etat == E::AbandonneeOperateur && payeeAvantAbandon);
}

bool etatAttendOperateur(EtatCertification etat)
{
    return etat == E::IssueInconnue;
}

bool etatSignaleOperateur(EtatCertification etat)
{
    return etatAttendOperateur(etat) || etat == E::ConfirmationEnvoyee;
}
