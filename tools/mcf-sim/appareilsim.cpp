#include "appareilsim.h"

#include <QCryptographicHash>

#include <cmath>
#include <utility>

namespace {

// Command codes.
constexpr int cEtatMachine = 0xC1;
constexpr int cClient = 0xC3;
constexpr int cNouvelleFacture = 0xC0;
constexpr int cArticle = 0x31;
constexpr int cCommentaire = 0x36;
constexpr int cSousTotal = 0x33;
constexpr int cPaiement = 0x35;
constexpr int cFermeture = 0x38;

const QStringList typesConnus{QStringLiteral("FV"), QStringLiteral("FA"), QStringLiteral("EV"),
                              QStringLiteral("EA"), QStringLiteral("FT"), QStringLiteral("ET")};

bool estRemboursement(const QString &type)
{
    return type == QStringLiteral("FA") || type == QStringLiteral("EA");
}

// Withholding (AIB in Bénin, ISB in Niger) rate in percent of the code given with a new invoice:
// "AIB1" 1 and "AIB5" 5 in both countries; the letters are the country's groups, AIB A 1 and B 5 in
// Bénin, ISB A 2 and B 5 in Niger; any other code withholds nothing.
double tauxRetenue(const QString &code, bool niger)
{
    static const QMap<QString, double> tauxBenin{{QStringLiteral("AIB1"), 1},
                                                 {QStringLiteral("AIB5"), 5},
                                                 {QStringLiteral("A"), 1},
                                                 {QStringLiteral("B"), 5}};
    static const QMap<QString, double> tauxNiger{{QStringLiteral("AIB1"), 1},
                                                 {QStringLiteral("AIB5"), 5},
                                                 {QStringLiteral("A"), 2},
                                                 {QStringLiteral("B"), 5}};
    return (niger ? tauxNiger : tauxBenin).value(code, 0);
}

std::optional<double> lireNombre(const QString &texte)
{
    bool ok = false;
    const double v = texte.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QStringList champs(const QString &donnees)
{
    QStringList c = donnees.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (QString &champ : c)
        champ = desechapper(champ);
    return c;
}

} // namespace

QString desechapper(const QString &texte)
{
    QString r = texte;
    r.replace(QStringLiteral("^xa;"), QStringLiteral("\n"));
    r.replace(QStringLiteral("^xd;"), QStringLiteral("\r"));
    r.replace(QStringLiteral("^x2c;"), QStringLiteral(","));
    r.replace(QStringLiteral("^lt;"), QStringLiteral("<"));
    r.replace(QStringLiteral("^gt;"), QStringLiteral(">"));
    r.replace(QStringLiteral("^amp;"), QStringLiteral("&"));
    return r;
}

QString texteMontant(double montant)
{
    QString t = QString::number(std::round(montant * 100) / 100 + 0.0, 'f', 2);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t;
}

AppareilSim::AppareilSim(ConfigurationSim configuration) : m_config(std::move(configuration))
{
    const bool niger = m_config.pays == QStringLiteral("NE");
    // VAT rates of groups A to D as our invoices print them (B 18 % and D 18 % in Bénin, B 19 % and
    // D 5 % in Niger), the same as the e-MCF double's; every other group is exempt.
    const QStringList taux = niger ? QStringList{QStringLiteral("0"), QStringLiteral("19"),
                                                 QStringLiteral("0"), QStringLiteral("5")}
                                   : QStringList{QStringLiteral("0"), QStringLiteral("18"),
                                                 QStringLiteral("0"), QStringLiteral("18")};
    const int groupes = niger ? 16 : 4;
    for (int i = 0; i < groupes; ++i)
        m_taux.insert(QString(QChar(u'A' + i)), i < taux.size() ? taux.at(i) : QStringLiteral("0"));
}

std::optional<QString> AppareilSim::traiter(int commande, const QString &donnees)
{
    switch (commande) {
    case cEtatMachine:
        return etatMachine();
    case cClient:
        return client(champs(donnees));
    case cNouvelleFacture:
        return nouvelleFacture(champs(donnees));
    case cArticle:
        return article(donnees);
    case cCommentaire:
        return commentaire(champs(donnees));
    case cSousTotal:
        return sousTotal();
    case cPaiement:
        return paiement(donnees);
    case cFermeture:
        return fermeture();
    default:
        return std::nullopt;
    }
}

double AppareilSim::tauxGroupe(const QString &groupe) const
{
    return m_taux.value(groupe).toDouble();
}

std::optional<QString> AppareilSim::etatMachine() const
{
    const QString date = m_config.horloge().toString(QStringLiteral("yyyyMMddHHmmss"));
    QStringList r{m_ouverte ? QStringLiteral("1") : QStringLiteral("0"),
                  m_config.nim,
                  m_config.ifu,
                  QString::number(m_compteurTotal),
                  QString::number(m_compteurs.value(QStringLiteral("FV"))),
                  date};
    if (m_config.pays == QStringLiteral("NE")) {
        r << QStringLiteral("ORVSIM-1") << QStringLiteral("NE") << QStringLiteral("0");
        r << m_taux.values(); // "A" to "P", fields 9 to 24
        r << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("0");
    } else {
        r << m_taux.values(); // "A" to "D", fields 6 to 9
    }
    return r.join(QLatin1Char(','));
}

std::optional<QString> AppareilSim::client(const QStringList &c)
{
    if (m_config.pays != QStringLiteral("NE") || m_ouverte || c.size() != 5)
        return std::nullopt;
    m_client = c;
    return QStringLiteral("0");
}

std::optional<QString> AppareilSim::nouvelleFacture(const QStringList &c)
{
    if (m_ouverte)
        return std::nullopt;
    const bool niger = m_config.pays == QStringLiteral("NE");
    // Fields before the type: operator id, operator name, device id (and the four rates in Bénin).
    const int positionType = niger ? 3 : 7;
    if (c.size() <= positionType || c.at(2) != m_config.nim)
        return std::nullopt;
    const QString type = c.at(positionType);
    if (!typesConnus.contains(type))
        return std::nullopt;
    const int apres = c.size() - positionType - 1 - (estRemboursement(type) ? 1 : 0);
    // After the type (and a refund's original reference): client IFU and name in Bénin, price
    // basis, system id and reference in Niger; then the withholding code, when there is one.
    const int fixes = niger ? 3 : 2;
    if (apres != fixes && apres != fixes + 1)
        return std::nullopt;
    m_codeRetenue = apres == fixes + 1 ? c.last() : QString();
    // Niger: price basis, system id, then the reference. Item amounts are with VAT only for the
    // basis "TTC"; any other basis gives them without VAT.
    const int positionBase = positionType + (estRemboursement(type) ? 1 : 0) + 1;
    m_prixTTC = !niger || c.at(positionBase) == QStringLiteral("TTC");
    m_reference = niger ? c.at(positionBase + 2) : QString();
    m_premierArticle.clear();
    m_type = type;
    m_ouverte = true;
    m_lignes.clear();
    m_commentaires.clear();
    m_paye = 0;
    const QString numero = QString::number(m_compteurTotal + 1);
    if (niger)
        return QStringList{numero,
                           type,
                           m_config.nim,
                           m_config.ifu,
                           QStringLiteral("0"),
                           QStringLiteral("0"),
                           QStringLiteral("0")}
            .join(QLatin1Char(','));
    return numero + QLatin1Char(',') + type;
}

std::optional<QString> AppareilSim::article(const QString &donnees)
{
    if (!m_ouverte)
        return std::nullopt;
    const bool niger = m_config.pays == QStringLiteral("NE");
    // The name may hold anything but the last one (Bénin) or two (Niger) tabs belong to the layout.
    QStringList parts = donnees.split(QChar(0x09));
    const int tabs = niger ? 2 : 1;
    if (parts.size() < tabs + 1)
        return std::nullopt;
    const QString queue = parts.takeLast();
    const QString milieu = niger ? parts.takeLast() : QString();
    if (parts.join(QChar(0x09)).isEmpty())
        return std::nullopt;

    Ligne ligne;
    // Unit price and quantity: "P*q", then ";..." for the specific tax.
    const QString prixQuantite = niger ? queue : queue.mid(1);
    ligne.groupe = niger ? milieu.left(1) : queue.left(1);
    if (!m_taux.contains(ligne.groupe))
        return std::nullopt;
    const qsizetype etoile = prixQuantite.indexOf(QLatin1Char('*'));
    if (etoile < 0)
        return std::nullopt;
    const qsizetype pointVirgule = prixQuantite.indexOf(QLatin1Char(';'), etoile);
    const auto prix = lireNombre(desechapper(prixQuantite.left(etoile)));
    const auto quantite = lireNombre(
        desechapper(prixQuantite.mid(etoile + 1, pointVirgule < 0 ? -1 : pointVirgule - etoile - 1)));
    if (!prix || !quantite)
        return std::nullopt;
    const QString suite = pointVirgule < 0 ? QString() : prixQuantite.mid(pointVirgule + 1);
    const double t = tauxGroupe(ligne.groupe) / 100;

    if (niger) {
        // "G" rate "%" line amount; the amount is with VAT for a "TTC" invoice, without otherwise,
        // and holds the line's specific tax (with or without VAT alike).
        const qsizetype pourcent = milieu.indexOf(QLatin1Char('%'));
        if (pourcent < 0)
            return std::nullopt;
        const auto montant = lireNombre(desechapper(milieu.mid(pourcent + 1)));
        if (!montant)
            return std::nullopt;
        if (!suite.isEmpty()) {
            if (!suite.startsWith(QLatin1Char('T')) || !suite.contains(QLatin1Char(',')))
                return std::nullopt;
            const auto taxeHT = lireNombre(desechapper(suite.section(QLatin1Char(','), -1)));
            if (!taxeHT)
                return std::nullopt;
            ligne.taxeHT = *taxeHT;
        }
        if (m_prixTTC) {
            ligne.montantTTC = *montant;
            ligne.montantHT = *montant / (1 + t);
        } else {
            // The device adds the group's VAT to an amount without it.
            ligne.montantHT = *montant;
            ligne.montantTTC = *montant * (1 + t);
        }
    } else {
        ligne.montantTTC = *prix * *quantite;
        ligne.montantHT = ligne.montantTTC / (1 + t);
        if (!suite.isEmpty()) {
            if (!suite.endsWith(QLatin1Char(',')))
                return std::nullopt;
            const auto taxe = lireNombre(desechapper(suite.chopped(1)));
            if (!taxe)
                return std::nullopt;
            ligne.taxe = *taxe;
            ligne.taxeHT = *taxe / (1 + t);
        }
    }
    if (m_lignes.isEmpty())
        m_premierArticle = desechapper(parts.join(QChar(0x09)));
    m_lignes.append(ligne);
    const QString numero = QString::number(m_lignes.size());
    const QString montant = texteMontant(ligne.montantTTC + ligne.taxe);
    const QString cumul = texteMontant(total());
    if (niger)
        return QStringList{numero, ligne.groupe, m_taux.value(ligne.groupe), montant, cumul}.join(
            QLatin1Char(','));
    return QStringList{numero, ligne.groupe, montant, cumul}.join(QLatin1Char(','));
}

std::optional<QString> AppareilSim::commentaire(const QStringList &c)
{
    if (m_config.pays != QStringLiteral("NE") || !m_ouverte || c.size() != 2)
        return std::nullopt;
    m_commentaires << c.at(0) + QLatin1Char('=') + c.at(1);
    return QString::number(m_commentaires.size());
}

double AppareilSim::total() const
{
    double montant = 0;
    double baseRetenue = 0;
    const bool niger = m_config.pays == QStringLiteral("NE");
    for (const Ligne &l : m_lignes) {
        montant += l.montantTTC + l.taxe;
        // Bénin withholds on amounts without VAT, Niger on amounts with VAT and specific tax.
        baseRetenue += niger ? l.montantTTC + l.taxe : l.montantHT + l.taxeHT;
    }
    return montant + baseRetenue * tauxRetenue(m_codeRetenue, niger) / 100;
}

std::optional<QString> AppareilSim::sousTotal()
{
    if (!m_ouverte)
        return std::nullopt;
    // Total, then per group A to D the amount with VAT, then VAT, specific taxes, withholding
    // and the number of lines.
    QMap<QString, double> parGroupe;
    double tva = 0;
    double taxes = 0;
    double sansRetenue = 0;
    for (const Ligne &l : m_lignes) {
        parGroupe[l.groupe] += l.montantTTC;
        tva += l.montantTTC - l.montantHT;
        taxes += l.taxe;
        sansRetenue += l.montantTTC + l.taxe;
    }
    const double montant = total();
    QStringList r{texteMontant(montant + m_config.ecartSousTotal)};
    for (const char *g : {"A", "B", "C", "D"})
        r << texteMontant(parGroupe.value(QString::fromLatin1(g)));
    r << texteMontant(tva) << texteMontant(taxes) << texteMontant(montant - sansRetenue)
      << QString::number(m_lignes.size());
    return r.join(QLatin1Char(','));
}

std::optional<QString> AppareilSim::paiement(const QString &donnees)
{
    if (!m_ouverte || donnees.isEmpty() || !QStringLiteral("VCMDEA").contains(donnees.at(0)))
        return std::nullopt;
    const auto montant = lireNombre(donnees.mid(1));
    if (!montant || *montant < 0)
        return std::nullopt;
    m_paye += *montant;
    const double reste = std::max(0.0, std::round(total() * 100) / 100 - m_paye);
    return texteMontant(m_paye) + QLatin1Char(',') + texteMontant(reste);
}

QString AppareilSim::signature(const QString &date) const
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    const QByteArray empreinte = QCryptographicHash::hash(
        (m_config.nim + QString::number(m_compteurTotal) + date + texteMontant(total())).toUtf8(),
        QCryptographicHash::Sha256);
    QString s;
    for (int i = 0; i < 24; ++i)
        s += QLatin1Char(alphabet[static_cast<quint8>(empreinte.at(i)) % 32]);
    return s;
}

std::optional<ClotureSim> AppareilSim::prendreCloture()
{
    return std::exchange(m_cloture, std::nullopt);
}

std::optional<QString> AppareilSim::fermeture()
{
    if (!m_ouverte)
        return std::nullopt;
    m_ouverte = false;
    const QString date = m_config.horloge().toString(QStringLiteral("yyyyMMddHHmmss"));
    // Paid means the payments cover the total, to the centime.
    const bool payee = m_paye > 0 && m_paye + 0.005 >= std::round(total() * 100) / 100;
    m_cloture = ClotureSim{payee, QString(), m_reference, m_premierArticle};
    if (!payee) {
        m_cloture->compteurs =
            QStringLiteral("%1/%2 %3").arg(m_compteurs.value(m_type)).arg(m_compteurTotal).arg(m_type);
        return QStringList{QString::number(m_compteurs.value(m_type)),
                           QString::number(m_compteurTotal),
                           m_type,
                           date,
                           m_config.nim,
                           m_config.ifu}
            .join(QLatin1Char(','));
    }
    ++m_compteurTotal;
    const int compteur = ++m_compteurs[m_type];
    m_cloture->compteurs = QStringLiteral("%1/%2 %3").arg(compteur).arg(m_compteurTotal).arg(m_type);
    return QStringList{QString::number(compteur),
                       QString::number(m_compteurTotal),
                       m_type,
                       date,
                       m_config.nim,
                       m_config.ifu,
                       signature(date)}
        .join(QLatin1Char(','));
}
