#include "donneescommandes.h"

#include "trame.h"

#include <QLocale>

#include <cmath>

namespace {

const QString virgule = QStringLiteral(",");
const QChar tab = QChar(0x09);

// Groups "A" to "P", in the order the machine-state reply lists their rates.
QString lettreGroupe(int i)
{
    return QString(QChar(u'A' + i));
}

bool renseigne(const QString &montant)
{
    return !montant.isEmpty() && montant != QStringLiteral("0");
}

} // namespace

QStringList champsReponse(const QString &reponse)
{
    return reponse.split(virgule, Qt::KeepEmptyParts);
}

QString montantArrondi(double valeur)
{
    // std::round rounds halves away from zero; adding 0.0 keeps a -0 from printing as "-0".
    return QString::asprintf("%.0f", std::round(valeur) + 0.0);
}

std::optional<EtatAppareil> lireEtatMachine(const QStringList &champs)
{
    EtatAppareil etat;
    if (champs.size() == 10) {
        etat.codePays = QStringLiteral("BJ");
        for (int i = 0; i < 4; ++i)
            etat.tauxGroupes.insert(lettreGroupe(i), champs.at(6 + i));
    } else if (champs.size() == 29) {
        etat.codePays = QStringLiteral("NE");
        for (int i = 0; i < 16; ++i)
            etat.tauxGroupes.insert(lettreGroupe(i), champs.at(9 + i));
    } else {
        return std::nullopt;
    }
    etat.identifiantMCF = champs.at(1);
    return etat;
}

QString donneesClient(const QString &ifuClient, const QString &nomClient, const QString &adresseClient,
                      const QString &contactClient, const QString &contactClient2)
{
    return QStringList{echapperTexte(ifuClient), echapperTexte(nomClient), echapperTexte(adresseClient),
                       echapperTexte(contactClient), echapperTexte(contactClient2)}
        .join(virgule);
}

QString donneesFactureBenin(const EnteteFacture &e, const EtatAppareil &appareil)
{
    QStringList c{echapperTexte(e.idOperateur), echapperTexte(e.nomOperateur),
                  echapperTexte(appareil.identifiantMCF)};
    for (const char *lettre : {"A", "B", "C", "D"})
        c << echapperTexte(appareil.tauxGroupes.value(QString::fromLatin1(lettre)));
    c << e.typeFacture;
    if (!e.referenceOriginale.isEmpty())
        c << echapperTexte(e.referenceOriginale);
    c << echapperTexte(e.ifuClient) << echapperTexte(e.nomClient);
    if (!e.codeTaxeSpecifique.isEmpty())
        c << echapperTexte(e.codeTaxeSpecifique);
    return c.join(virgule);
}

QString donneesFactureNiger(const EnteteFacture &e, const EtatAppareil &appareil, const QString &modePrix,
                            const QString &isf)
{
    QStringList c{echapperTexte(e.idOperateur), echapperTexte(e.nomOperateur),
                  echapperTexte(appareil.identifiantMCF), e.typeFacture};
    if (!e.referenceOriginale.isEmpty())
        c << echapperTexte(e.referenceOriginale);
    c << modePrix << isf << e.reference;
    if (!e.codeTaxeSpecifique.isEmpty())
        c << echapperTexte(e.codeTaxeSpecifique);
    return c.join(virgule);
}

QString donneesArticleBenin(const InvoiceItem &article)
{
    QString d = echapperTexte(article.designation.left(64)) + tab + groupeTaxeEnvoye(article) +
                echapperTexte(montantArrondi(nombreEntree(article.prixTTC))) + QLatin1Char('*') +
                echapperTexte(article.quantite);
    if (renseigne(article.taxeSpecifique))
        d += QLatin1Char(';') + echapperTexte(article.taxeSpecifique) + virgule;
    return d;
}

QString donneesArticleNiger(const InvoiceItem &article, const EtatAppareil &appareil, const QString &modePrix)
{
    const QString groupe = groupeTaxeEnvoye(article);
    const double quantite = nombreEntree(article.quantite);
    const bool ttc = modePrix == QStringLiteral("TTC");
    const double prix = nombreEntree(ttc ? article.prixTTC : article.prixHT);
    const double taxe = nombreEntree(ttc ? article.taxeSpecifique : article.taxeSpecifiqueHT);
    QString d = echapperTexte(article.designation.left(64)) + tab + groupe +
                appareil.tauxGroupes.value(groupe) + QLatin1Char('%') +
                echapperTexte(montantArrondi(prix * quantite + taxe)) + tab +
                echapperTexte(montantArrondi(prix)) + QLatin1Char('*') + echapperTexte(article.quantite);
    if (renseigne(article.taxeSpecifiqueHT))
        d += QStringLiteral(";T") + echapperTexte(article.complementArticle) + virgule +
             echapperTexte(article.taxeSpecifiqueHT);
    return d;
}

QString donneesCommentaire(const QString &genre, const QString &texte)
{
    return echapperTexte(genre) + virgule + echapperTexte(texte);
}

QString codePaiementMCF(const QString &codePaiement)
{
    static const QStringList connus{QStringLiteral("V"), QStringLiteral("C"), QStringLiteral("M"),
                                    QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("A")};
    return connus.contains(codePaiement) ? codePaiement : QStringLiteral("A");
}

QString donneesConfirmation(const QString &codePaiement, const QString &sousTotal)
{
    // Code and amount are one field: no separator between them.
    return echapperTexte(codePaiementMCF(codePaiement)) + echapperTexte(sousTotal);
}

QString texteDifference(double difference)
{
    return QString::asprintf("%g", difference);
}

EvaluationSousTotal evaluerSousTotal(const QStringList &champs, double totalFacture, double sommeQuantites,
                                     double tolerance)
{
    EvaluationSousTotal e;
    if (champs.size() < 9)
        return e;
    e.sousTotal = champs.at(0);
    const double difference = nombreEntree(e.sousTotal) - totalFacture;
    const double admis = ecartPermisAppareil(tolerance, sommeQuantites);
    e.accepte = std::fabs(difference) <= admis;
    if (difference != 0)
        e.messages << QStringLiteral("Difference facture: ") + texteDifference(difference);
    e.messages << (e.accepte ? QStringLiteral("Total facture acceptable: ")
                             : QStringLiteral("Total facture inacceptable: ")) +
                      e.sousTotal;
    return e;
}

Fermeture lireFermeture(const QStringList &r)
{
    Fermeture f;
    if (r.size() == 6) {
        f.issue = Fermeture::Annulee;
    } else if (r.size() == 7) {
        f.issue = Fermeture::Validee;
        const QString qr = QStringLiteral("F;") + r.at(4) + QLatin1Char(';') + r.at(6) + QLatin1Char(';') +
                           r.at(5) + QLatin1Char(';') + r.at(3);
        const QString compteurs = r.at(0) + QLatin1Char('/') + r.at(1) + QLatin1Char(' ') + r.at(2);
        f.resultat = ResultatFiscal{qr, r.at(1), r.at(6), r.at(4), compteurs, r.at(3)};
    }
    return f;
}
