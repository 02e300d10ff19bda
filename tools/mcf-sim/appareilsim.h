#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The behaviour of a simulated fiscal device (Bénin "BJ" or Niger "NE"): it answers each command
// with a reply data text, or refuses it (nothing, sent as NAK by the caller).
struct ConfigurationSim
{
    QString pays = QStringLiteral("BJ");
    QString nim = QStringLiteral("SIM0100001");
    QString ifu = QStringLiteral("3200900012345");
    // Added to the subtotal the device reports, to stand for a device that totals differently.
    double ecartSousTotal = 0;
    // The device's clock (tests may fix it).
    std::function<QDateTime()> horloge = [] { return QDateTime::currentDateTime(); };
};

// How the device ended an invoice at the close command: what a test counts validations with.
struct ClotureSim
{
    bool validee = false;
    QString compteurs; // "n/total TYPE"
    QString reference; // the reference field of a Niger new invoice (empty in Bénin)
    QString article;   // designation of the first item accepted
};

class AppareilSim
{
public:
    explicit AppareilSim(ConfigurationSim configuration);

    // The reply data to `commande` with the request data `donnees` (bytes read as Latin-1), or
    // nothing when the device refuses the command.
    std::optional<QString> traiter(int commande, const QString &donnees);

    bool factureOuverte() const { return m_ouverte; }
    // The outcome of the last close command, once: nothing when no invoice was closed since.
    std::optional<ClotureSim> prendreCloture();
    int compteurTotal() const { return m_compteurTotal; }
    QString taux(const QString &groupe) const { return m_taux.value(groupe); }

private:
    struct Ligne
    {
        QString groupe;
        double montantTTC = 0; // line amount with VAT, without specific tax
        double montantHT = 0;  // the same without VAT
        double taxe = 0;       // specific tax of the line, with VAT
        double taxeHT = 0;     // and without VAT
    };

    std::optional<QString> etatMachine() const;
    std::optional<QString> client(const QStringList &champs);
    std::optional<QString> nouvelleFacture(const QStringList &champs);
    std::optional<QString> article(const QString &donnees);
    std::optional<QString> commentaire(const QStringList &champs);
    std::optional<QString> sousTotal();
    std::optional<QString> paiement(const QString &donnees);
    std::optional<QString> fermeture();

    double total() const;
    double tauxGroupe(const QString &groupe) const;
    QString signature(const QString &date) const;

    ConfigurationSim m_config;
    QMap<QString, QString> m_taux; // group letter -> VAT rate in percent
    int m_compteurTotal = 0;
    QMap<QString, int> m_compteurs; // per invoice type

    bool m_ouverte = false;
    QString m_type;
    QString m_codeRetenue;
    bool m_prixTTC = true; // item amounts with VAT: always in Bénin, for the basis "TTC" in Niger
    QStringList m_client;
    QList<Ligne> m_lignes;
    QStringList m_commentaires;
    double m_paye = 0;
    QString m_reference;
    QString m_premierArticle;
    std::optional<ClotureSim> m_cloture;
};

// Free text of a request field back from its escaped form.
QString desechapper(const QString &texte);
// An amount with at most two decimals, trailing zeros dropped, "." as separator.
QString texteMontant(double montant);
