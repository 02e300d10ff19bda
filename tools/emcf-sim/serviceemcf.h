#pragma once

#include "requetehttp.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <optional>

// The steps of one certification, as fault injection names them.
enum class EtapeEmcf { Etat, Soumission, Decision };

// How the test double behaves: the country's vocabulary, the token and numbers it answers with,
// and the faults it injects.
struct OptionsService
{
    bool niger = false;
    QString jeton = QStringLiteral("jeton-de-test");
    QString chemin = QStringLiteral("/emcf/api/invoice");
    QString identifiantVendeur = QStringLiteral("3201234567890");
    QString nim = QStringLiteral("ED04000001");
    int compteurInitial = 0;     // counters start after this number
    QDateTime dateFixe;          // when valid, every date of a reply is this one
    double ecartTotal = 0;       // added to every computed total
    QSet<EtapeEmcf> nonJson;     // steps answered with a text that is not JSON
    QSet<EtapeEmcf> tableau;     // steps answered with a JSON array
    QSet<EtapeEmcf> silence;     // steps never answered
    bool etatSansStatus = false; // status reply object without "status"
};

// What to send back for one request; `silence` means nothing at all.
struct ReponseService
{
    int statut = 200;
    QByteArray typeContenu = "application/json";
    QByteArray corps;
    bool silence = false;
};

// The e-MCF service stand-in: checks the bearer token, answers the status request, validates and
// keeps a submitted invoice pending with its own total, then confirms (fiscal codes and running
// counters) or cancels it. No I/O: the server hands it whole requests.
class ServiceEmcf
{
public:
    explicit ServiceEmcf(OptionsService options);

    ReponseService traiter(const RequeteHttp &requete);

    // The total the service computes for a submitted invoice (before any injected difference), or
    // the reason it refuses the invoice.
    struct Calcul
    {
        double total = 0;
        double prelevement = 0;
        QString refus; // empty when the invoice is acceptable
    };
    Calcul calculer(const QJsonObject &facture) const;

private:
    struct FactureEnAttente
    {
        QString type;
        double total = 0;
    };

    ReponseService etat() const;
    ReponseService soumettre(const QByteArray &corps);
    ReponseService confirmer(const QString &uid);
    ReponseService annuler(const QString &uid);
    QDateTime maintenant() const;
    QString cleIdentifiant() const { return m_options.niger ? QStringLiteral("nif") : QStringLiteral("ifu"); }

    OptionsService m_options;
    QHash<QString, FactureEnAttente> m_enAttente;
    QSet<QString> m_referencesConfirmees; // what a refund may name as its original invoice
    QHash<QString, int> m_compteursParType;
    int m_compteurTotal = 0;
};
