#pragma once

#include "requetehttp.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

// The requests of one certification, as fault injection names them.
enum class EtapeEmcf { Etat, Soumission, Confirmation, Annulation };

// A late answer: the wait, and for how many requests of its step (the first ones; -1: all).
struct Pause
{
    int ms = 0;
    int nombre = -1;
};

// How the test double behaves: the country's vocabulary, the token and numbers it answers with,
// and the faults it injects.
struct OptionsService
{
    bool niger = false;
    QString jeton = QStringLiteral("jeton-de-test");
    QString chemin = QStringLiteral("/emcf/api/invoice");
    QString identifiantVendeur = QStringLiteral("3201234567890");
    QString nim = QStringLiteral("ED04000001");
    QString nomBoutique = QStringLiteral("Boutique de test"); // the e-MCF unit's shop in info/status
    int compteurInitial = 0;           // counters start after this number
    QDateTime dateFixe;                // when valid, every date of a reply is this one
    qint64 expirationMs = 120000;      // a pending invoice is forgotten after this delay
    bool refusHttp400 = false;         // refusals with HTTP 400/404 instead of 200
    double ecartTotal = 0;             // added to every computed total
    QSet<EtapeEmcf> nonJson;           // steps answered with a text that is not JSON
    QSet<EtapeEmcf> tableau;           // steps answered with a JSON array
    QSet<EtapeEmcf> silence;           // steps never answered
    QSet<EtapeEmcf> corpsGeant;        // steps whose JSON reply is padded to `tailleCorpsGeant`
    qint64 tailleCorpsGeant = 2 << 20; // bytes
    bool etatSansStatus = false;       // status reply object without "status"
    QString etatStatus;                // when set: status reply {"status": <this JSON>, "title"}
};

// What to send back for one request; `silence` means nothing at all.
struct ReponseService
{
    int statut = 200;
    QByteArray typeContenu = "application/json";
    QByteArray corps;
    bool silence = false;
};

// The refusal codes of the service, as its published clients know them.
namespace CodeRefus {
constexpr int tropEnAttente = 1;
constexpr int typeInconnu = 3;
constexpr int referenceAbsente = 4;
constexpr int referenceMalFormee = 5;
constexpr int prelevementInvalide = 6;
constexpr int paiementInvalide = 7;
constexpr int sansArticle = 8;
constexpr int groupeTaxeInvalide = 9;
constexpr int origineIntrouvable = 11;
constexpr int avoirTropGrand = 12;
constexpr int uidInconnu = 20;
constexpr int autre = 99;
} // namespace CodeRefus

// The e-MCF service stand-in: checks the bearer token, answers the status request, validates and
// keeps a submitted invoice pending with its own total and tax breakdown, then confirms (fiscal
// codes and running counters) or cancels it; also answers the information requests (status, tax
// groups, invoice and payment types). No I/O: the server hands it whole requests.
class ServiceEmcf
{
public:
    // `horlogeMs` gives a monotonic time in milliseconds (pending invoices expire by it).
    explicit ServiceEmcf(OptionsService options, std::function<qint64()> horlogeMs = {});

    ReponseService traiter(const RequeteHttp &requete);

    // What the service computes for a submitted invoice (before any injected difference), or the
    // code and reason of its refusal.
    struct Calcul
    {
        double total = 0;
        double prelevement = 0;
        QMap<QString, double> ventilation; // ta..td, taa..taf, hab, had, vab, vad, ts
        int codeRefus = 0;                 // 0 when the invoice is acceptable
        QString refus;
    };
    Calcul calculer(const QJsonObject &facture) const;

    static constexpr int maximumEnAttente = 10;

private:
    struct FactureEnAttente
    {
        QString uid;
        QString type;
        QString reference; // the refund's original invoice
        double total = 0;
        QJsonObject facture; // as submitted: the pending invoice's details
        qint64 depuisMs = 0;
        QDateTime date;
    };

    ReponseService etat() const;
    QJsonObject etatService() const;
    QJsonObject etatInformation() const;
    ReponseService information(const QString &nom) const;
    ReponseService soumettre(const QByteArray &corps);
    ReponseService details(const QString &uid) const;
    ReponseService confirmer(const QString &uid);
    ReponseService annuler(const QString &uid);
    ReponseService refus(int code, const QString &raison) const;
    void oublierExpirees();
    qsizetype indexEnAttente(const QString &uid) const;
    QDateTime maintenant() const;
    QString cleIdentifiant() const { return m_options.niger ? QStringLiteral("nif") : QStringLiteral("ifu"); }
    QString cheminInformation() const;

    OptionsService m_options;
    std::function<qint64()> m_horlogeMs;
    QList<FactureEnAttente> m_enAttente;      // oldest first
    QHash<QString, double> m_totauxConfirmes; // what a refund may name as its original, with its total
    QHash<QString, int> m_compteursParType;
    int m_compteurTotal = 0;
};
