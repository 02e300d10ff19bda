#include "document.h"

#include "colonnesticket.h"
#include "formats.h"
#include "totaux.h"

namespace {

struct TypeFacture
{
    QString titre;
    QString enteteClient;
    QString phraseFinale; // A4 closing sentence, before the amount
    QString libelleNet;
};

std::optional<TypeFacture> typeFacture(const QString &code, const QString &entreprise)
{
    const QString facture = QStringLiteral("Facture");
    const QString doit = QStringLiteral("Doit:");
    const QString credit = QStringLiteral("Au crédit de:");
    const QString arrete = QStringLiteral("Arrêté la présente facture à la somme de: ");
    const QString devoir = entreprise + QStringLiteral(" reconnait vous devoir la somme de: ");
    const QString netAPayer = QStringLiteral("Net à Payer: ");
    const QString netFaveur = QStringLiteral("Net en votre faveur: ");
    if (code == QStringLiteral("FV"))
        return TypeFacture{facture, doit, arrete, netAPayer};
    if (code == QStringLiteral("FA"))
        return TypeFacture{facture + QStringLiteral(" d'avoir"), credit, devoir, netFaveur};
    if (code == QStringLiteral("EV"))
        return TypeFacture{facture + QStringLiteral(" d'exportation"), doit, arrete, netAPayer};
    if (code == QStringLiteral("EA"))
        return TypeFacture{facture + QStringLiteral(" d'avoir d'exportation"), credit, devoir, netFaveur};
    if (code == QStringLiteral("FT"))
        return TypeFacture{facture + QStringLiteral(" d'accompte"), credit, devoir, netFaveur};
    if (code == QStringLiteral("ET"))
        return TypeFacture{facture + QStringLiteral(" d'accompte d'exportation"), credit, devoir, netFaveur};
    return std::nullopt;
}

QString libelleTaux(const QString &pays, const QString &groupe)
{
    if (pays == QStringLiteral("Bénin") && (groupe == QStringLiteral("B") || groupe == QStringLiteral("D")))
        return QStringLiteral(" 18 %");
    if (pays == QStringLiteral("Niger")) {
        if (groupe == QStringLiteral("B"))
            return QStringLiteral(" 19 %");
        if (groupe == QStringLiteral("D"))
            return QStringLiteral(" 5 %");
    }
    return {};
}

QString libellePaiement(const QString &code)
{
    static const QMap<QString, QString> libelles{{QStringLiteral("V"), QStringLiteral("Virement")},
                                                 {QStringLiteral("C"), QStringLiteral("Carte Bancaire")},
                                                 {QStringLiteral("M"), QStringLiteral("Mobile Money")},
                                                 {QStringLiteral("D"), QStringLiteral("Chèque")},
                                                 {QStringLiteral("E"), QStringLiteral("Espèces")},
                                                 {QStringLiteral("A"), QStringLiteral("Autre")}};
    return libelles.value(code);
}

// Accumulates the text with the tokens of one variant.
class Redacteur
{
public:
    Redacteur(Variante variante, int signe) : a4(variante == Variante::A4), m_signe(signe) {}

    const bool a4;
    QString texte;

    QString nl() const { return a4 ? QStringLiteral("<br/>") : QStringLiteral("\n"); }
    QString b() const { return a4 ? QStringLiteral("<b>") : QString(); }
    QString eb() const { return a4 ? QStringLiteral("</b>") : QString(); }
    QString gras(const QString &t) const { return b() + t + eb(); }
    QString montant(double valeur) const { return texteMontant(valeur, m_signe); }
    // Text that comes from the invoice or result file: on the A4 invoice it is shown as written,
    // never taken as markup (a "<" in a designation must not swallow the rest of the line).
    QString donnee(const QString &t) const { return a4 ? t.toHtmlEscaped() : t; }

    Redacteur &operator<<(const QString &t)
    {
        texte += t;
        return *this;
    }
    void ligne(const QString &libelle, const QString &valeur) { texte += gras(libelle) + valeur + nl(); }

private:
    int m_signe;
};

} // namespace

Variante varianteImpression(const QString &impression)
{
    if (impression == QStringLiteral("facture") || impression == QStringLiteral("facture-pdf") ||
        impression == QStringLiteral("facture-pdf-silent"))
        return Variante::A4;
    return Variante::Ticket;
}

QString construireDocument(const VueFacture &vue, const ParametresRendu &p,
                           const std::optional<ResultatLu> &resultat, const QString &imageQr,
                           Variante variante)
{
    Redacteur r(variante, vue.signe);
    const bool a4 = r.a4;
    const bool eco = p.economieEspace;
    const Vocabulaire mots = vocabulaire(p.pays);
    const std::optional<TypeFacture> type = typeFacture(vue.typeFacture, p.entreprise);
    const TotauxFacture t = calculerTotaux(vue, p.pays);
    const bool avecTS = t.totalTS != 0;
    const QString nl = r.nl();
    auto d = [&r](const QString &texte) { return r.donnee(texte); };

    // Head and logo.
    if (a4) {
        r << QStringLiteral("<html><head></head><body>") << QStringLiteral("<table><tr>");
        if (p.logoTop) {
            r << QStringLiteral("<td colspan=\"2\">");
            if (!p.logo.isEmpty())
                r << QStringLiteral("<img src=\"") + p.logo + QStringLiteral("\"\\>");
            r << QStringLiteral("</td></tr><tr>");
        } else {
            r << QStringLiteral("<td>");
            if (!p.logo.isEmpty())
                r << QStringLiteral("<img height=\"60\" src=\"") + p.logo + QStringLiteral("\"\\>");
            r << QStringLiteral("</td>");
        }
        r << QStringLiteral("<td>");
    }

    // Company.
    if (!p.entreprise.isEmpty())
        r << r.gras(p.entreprise) + nl;
    if (eco) {
        r << p.adresse + QStringLiteral(" - ") + p.telephone + nl;
        r << r.gras(QStringLiteral("RCCM: ")) + p.rccm + QStringLiteral(" - ") +
                 r.gras(mots.libelleNumero + QStringLiteral(": ")) + p.ifu + nl;
    } else {
        const QList<QPair<QString, QString>> details{{QStringLiteral("Adressse: "), p.adresse},
                                                     {QStringLiteral("Téléphone: "), p.telephone},
                                                     {QStringLiteral("E-mail: "), p.email},
                                                     {QStringLiteral("RCCM: "), p.rccm},
                                                     {mots.libelleNumero + QStringLiteral(": "), p.ifu}};
        for (const auto &[libelle, valeur] : details) {
            if (!valeur.isEmpty())
                r.ligne(libelle, valeur);
        }
    }

    // Date, reference and the other header lines.
    if (a4) {
        r << QStringLiteral("</td><td width=\"30%\">");
        if (!vue.dateFacture.isEmpty())
            r.ligne(QStringLiteral("Date: "), d(vue.dateFacture));
        r.ligne(QStringLiteral("Ref.: "), d(vue.reference));
    } else {
        r << nl;
    }
    if (!vue.bonCommande.isEmpty())
        r.ligne(QStringLiteral("Bon de commande: "), d(vue.bonCommande));
    if (!vue.ligneLibre.isEmpty())
        r << d(vue.ligneLibre) + nl;
    if (!vue.matricule.isEmpty())
        r.ligne(QStringLiteral("Matricule: "), d(vue.matricule));
    if (a4)
        r << QStringLiteral("</td></tr></table>");
    else if (!eco)
        r << nl;

    // Client.
    if (!vue.nomClient.isEmpty()) {
        if (type)
            r << r.gras(type->enteteClient);
        r << (eco ? QStringLiteral(" ") : nl);
        if (a4)
            r << nl;
        r << r.gras(d(vue.nomClient)) + nl;
        if (!vue.adresseClient.isEmpty())
            r.ligne(QStringLiteral("Adresse: "), d(vue.adresseClient));
        if (!vue.codeClient.isEmpty())
            r.ligne(QStringLiteral("Code client: "), d(vue.codeClient));
        if (!vue.ifuClient.isEmpty())
            r.ligne(mots.libelleNumero + QStringLiteral(": "), d(vue.ifuClient));
    }

    // Title and items.
    const QString titre = type ? type->titre : QString();
    const LargeursColonnes largeurs = largeursColonnes(vue);
    const QString celluleDroite = QStringLiteral("<td style=\"text-align:right\">");
    if (a4) {
        r << QStringLiteral("<h1 style=\"text-align:center\">") + titre +
                 QStringLiteral("</h1><table width=\"100%\" border=\"1\"><tr><th>Désignation</th>"
                                "<th style=\"text-align:right\">Quantité</th>"
                                "<th style=\"text-align:right\">Prix Unitaire HT</th>");
        if (avecTS)
            r << QStringLiteral("<th style=\"text-align:right\">TS</th>");
        r << QStringLiteral(
            "<th style=\"text-align:right\">TVA</th><th style=\"text-align:right\">Montant TTC</th></tr>");
    } else {
        if (!eco)
            r << nl;
        r << titre + QStringLiteral(" n° ") + vue.reference;
        if (!vue.dateFacture.isEmpty())
            r << QStringLiteral(" du ") + vue.dateFacture;
        r << nl;
        if (!eco)
            r << enteteColonnes(largeurs);
    }
    for (const ArticleRendu &a : vue.articles) {
        if (!a4) {
            r << ligneArticleTicket(a, largeurs, vue.signe, eco);
            continue;
        }
        const double baseHT = nombreEntree(a.taxeSpecifiqueHT) + ligneHT(a);
        QString taux;
        if (baseHT != 0 && a.tva != 0)
            taux = texteEntier(a.tva * 100 / baseHT) + QStringLiteral(" %");
        r << QStringLiteral("<tr><td>") + d(a.designation + suffixeGroupe(a.groupeTaxe)) +
                 QStringLiteral("</td>") + celluleDroite + texteQuantite(nombreEntree(a.quantite)) +
                 QStringLiteral("</td>") + celluleDroite + r.montant(nombreEntree(a.prixHT)) +
                 QStringLiteral("</td>");
        if (avecTS)
            r << celluleDroite + r.montant(nombreEntree(a.taxeSpecifiqueHT)) + QStringLiteral("</td>");
        r << celluleDroite + taux + QStringLiteral("</td>") + celluleDroite + r.montant(ligneTTC(a)) +
                 QStringLiteral("</td></tr>");
    }
    if (a4) {
        r << QStringLiteral("<tr><td>Total</td>") + celluleDroite + texteQuantite(t.totalQuantite) +
                 QStringLiteral("</td><td></td>");
        if (avecTS)
            r << celluleDroite + r.montant(t.totalTSHT) + QStringLiteral("</td>");
        r << QStringLiteral("<td></td>") + celluleDroite + r.montant(t.totalTTC) +
                 QStringLiteral("</td></tr></table><br/><table width=\"100%\"><tr><td>");
    } else {
        r << nl;
    }

    // Tax-group summary.
    for (auto g = t.groupes.cbegin(); g != t.groupes.cend(); ++g) {
        const QString &groupe = g.key();
        const SommesGroupe &s = g.value();
        if (s.ht != 0) {
            const QString nom = groupe == QStringLiteral("A") && p.pays == QStringLiteral("Niger")
                                    ? QStringLiteral("Exonérés")
                                    : QStringLiteral("Total: HT [") + d(groupe) + QStringLiteral("]");
            r << r.gras(nom + QStringLiteral(" = ") + r.montant(s.ht));
        }
        if (s.taxeSpecifiqueHT != 0)
            r << r.gras(QStringLiteral(" | TS [") + d(groupe) + QStringLiteral("] = ") +
                        r.montant(s.taxeSpecifiqueHT));
        if (s.tva != 0)
            r << r.gras(QStringLiteral(" | TVA [") + d(groupe) + QStringLiteral("]") +
                        libelleTaux(p.pays, groupe) + QStringLiteral(" = ") + r.montant(s.tva));
        r << nl;
    }
    if (a4)
        r << QStringLiteral("</td><td width=\"30%\">");
    else if (!eco)
        r << nl;

    // Totals and withholding.
    if (!(p.pays == QStringLiteral("Niger") && t.totalTVA == 0))
        r.ligne(QStringLiteral("Total HT: "), r.montant(t.totalHT));
    if (t.totalTSHT != 0)
        r.ligne(QStringLiteral("TS: "), r.montant(t.totalTSHT));
    r.ligne(QStringLiteral("Total TVA: "), r.montant(t.totalTVA));
    r.ligne(QStringLiteral("Total TTC: "), r.montant(t.totalTTC));
    r << nl;
    if (!vue.codeTaxeSpecifique.isEmpty()) {
        r << r.gras(mots.libelleRetenue + QStringLiteral(" ") + texteEntier(t.tauxRetenue) +
                    QStringLiteral("% : ")) +
                 r.montant(t.montantRetenue) + nl;
        if (type) {
            r.ligne(type->libelleNet, r.montant(t.netAPayer));
            r << nl;
        }
    }

    // Closing sentence, amount received, insurance split, comments.
    if (a4) {
        r << QStringLiteral("</td></tr></table>");
        if (type)
            r << type->phraseFinale + r.montant(t.netAPayer) + QStringLiteral(" F CFA.") + nl + nl;
    }
    if (vue.montantRecu != 0) {
        r << r.gras(QStringLiteral("Montant reçu: ")) + r.montant(vue.montantRecu) +
                 QStringLiteral(" F CFA.") + nl;
        r << r.gras(QStringLiteral("Monnaie rendue: ")) + r.montant(vue.montantRecu - t.netClient) +
                 QStringLiteral(" F CFA.") + nl + nl;
    }
    if (t.assuranceTTC != 0) {
        auto part = [&](double ht, double tva, double ttc, double retenue, double net) {
            QString ligne = r.gras(QStringLiteral("HT: ")) + r.montant(ht) +
                            r.gras(QStringLiteral("  |  TVA: ")) + r.montant(tva) +
                            r.gras(QStringLiteral("  |  TTC: ")) + r.montant(ttc);
            if (retenue != 0)
                ligne += r.gras(QStringLiteral("  |  ") + mots.libelleRetenue + QStringLiteral(": ")) +
                         r.montant(retenue) + r.gras(QStringLiteral("  |  Net: ")) + r.montant(net);
            return ligne + nl;
        };
        r << r.gras(QStringLiteral("Montant payé par le client")) + nl;
        r << part(t.clientHT, t.clientTVA, t.clientTTC, t.retenueClient, t.netClient);
        r << r.gras(QStringLiteral("Montant supporté par l'Assurance")) + nl;
        r << part(t.assuranceHT, t.assuranceTVA, t.assuranceTTC, t.retenueAssurance, t.netAssurance) + nl;
    }
    for (const CommentaireRendu &c : vue.commentaires)
        r << d(c.libelle) + QStringLiteral(": ") + d(c.valeur) + nl;
    if (!vue.commentaires.isEmpty())
        r << nl;

    // Fiscal block.
    if (a4)
        r << QStringLiteral("<table><tr><td width=\"60%\">");
    if (resultat) {
        if (!vue.codePaiement.isEmpty())
            r << r.gras(QStringLiteral("Mode de reglement: ")) + libellePaiement(vue.codePaiement) + nl + nl;
        if (!resultat->referenceOriginale.isEmpty())
            r << r.gras(QStringLiteral("Référence facture originale: ")) + d(resultat->referenceOriginale) +
                     nl + nl;
        if (p.pays != QStringLiteral("Niger")) {
            r.ligne(QStringLiteral("Connector: "), QStringLiteral("Orvane MCF API"));
            if (a4)
                r << nl + nl + nl + nl;
        }
        r << r.gras(QStringLiteral("Vendeur: ")) + d(vue.nomOperateur) + QStringLiteral(" | ") +
                 d(vue.idOperateur) + nl;
        if (!vue.nomCaissier.isEmpty())
            r.ligne(QStringLiteral("Caissier: "), d(vue.nomCaissier));
        r << nl;
        r << r.gras(QStringLiteral("Code ") + mots.nomModule + QStringLiteral(" / DGI ")) + nl +
                 d(resultat->signature) + nl;
        if (a4)
            r << QStringLiteral("</td><td>");
        else if (!eco)
            r << nl;
        r.ligne(mots.nomModule + QStringLiteral(" NIM: "), d(resultat->mecef_nim));
        r.ligne(mots.nomModule + QStringLiteral(" Compteurs: "), d(resultat->mecef_compt));
        r.ligne(mots.nomModule + QStringLiteral(" Heure: "), d(resultat->date));
        if (!p.isf.isEmpty())
            r.ligne(QStringLiteral("ISF: "), p.isf);
        if (a4)
            r << QStringLiteral("</td><td>");
    }
    if (a4) {
        if (resultat && !imageQr.isEmpty())
            r << QStringLiteral("<img width=\"100\" src=\"") + imageQr + QStringLiteral("\">");
        r << QStringLiteral("</td></tr></table>");
    }
    r << nl + p.message;

    return remplacerSeparateurGroupes(r.texte);
}
