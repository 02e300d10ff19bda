#include "document.h"

#include "redacteura4.h"
#include "redacteurticket.h"

#include <QList>
#include <QLocale>
#include <QPair>

#include <cmath>
#include <memory>

namespace {

QString separateurGroupes()
{
    static const QString separateur = QLocale(QLocale::French).groupSeparator();
    return separateur;
}

// Company name and details.
void entreprise(Redacteur &r)
{
    const ParametresRendu &p = r.d.parametres;
    if (!p.entreprise.isEmpty())
        r << r.gras(r.donnee(p.entreprise)) + r.nl();
    if (r.eco()) {
        r << r.donnee(p.adresse) + QStringLiteral(" - ") + r.code(p.telephone) + r.nl();
        r << r.champ(QStringLiteral("RCCM: "), r.code(p.rccm)) + QStringLiteral(" - ") +
                 r.champ(r.d.mots.libelleNumero + QStringLiteral(": "), r.code(p.ifu)) + r.nl();
        return;
    }
    // The address is a text; the other details are numbers kept in one piece.
    if (!p.adresse.isEmpty())
        r.ligneChamp(QStringLiteral("Adressse: "), r.donnee(p.adresse));
    const QList<QPair<QString, QString>> details{{QStringLiteral("Téléphone: "), p.telephone},
                                                 {QStringLiteral("E-mail: "), p.email},
                                                 {QStringLiteral("RCCM: "), p.rccm},
                                                 {r.d.mots.libelleNumero + QStringLiteral(": "), p.ifu}};
    for (const auto &[libelle, valeur] : details) {
        if (!valeur.isEmpty())
            r.ligneChamp(libelle, r.code(valeur));
    }
}

// Purchase order, free line and matricule of the header.
void autresLignesEntete(Redacteur &r)
{
    const Invoice &f = r.d.facture;
    if (!f.bonCommande.isEmpty())
        r.ligneChamp(QStringLiteral("Bon de commande: "), r.code(f.bonCommande));
    if (!f.ligneLibre.isEmpty())
        r << r.donnee(f.ligneLibre) + r.nl();
    if (!f.matricule.isEmpty())
        r.ligneChamp(QStringLiteral("Matricule: "), r.code(f.matricule));
}

void client(Redacteur &r)
{
    const Invoice &f = r.d.facture;
    if (f.nomClient.isEmpty())
        return;
    if (r.d.type)
        r << r.gras(r.d.type->enteteClient);
    r << (r.eco() ? QStringLiteral(" ") : r.nl());
    r.apresEnteteClient();
    r << r.gras(r.donnee(f.nomClient)) + r.nl();
    if (!f.adresseClient.isEmpty())
        r.ligneChamp(QStringLiteral("Adresse: "), r.donnee(f.adresseClient));
    if (!f.codeClient.isEmpty())
        r.ligneChamp(QStringLiteral("Code client: "), r.code(f.codeClient));
    if (!f.ifuClient.isEmpty())
        r.ligneChamp(r.d.mots.libelleNumero + QStringLiteral(": "), r.code(f.ifuClient));
}

// One line per tax group: its amount without tax, specific tax and VAT, each a label and its amount
// that no line break separates; a long line breaks at the " | " between them (separateur()).
void groupes(Redacteur &r)
{
    const QString &pays = r.d.parametres.pays;
    const QMap<QString, SommesGroupe> &groupes = r.d.totaux.groupes;
    for (auto g = groupes.cbegin(); g != groupes.cend(); ++g) {
        const QString groupe = r.donnee(g.key());
        const SommesGroupe &s = g.value();
        if (s.ht != 0) {
            const QString nom = g.key() == QStringLiteral("A") && pays == QStringLiteral("Niger")
                                    ? QStringLiteral("Exonérés")
                                    : QStringLiteral("Total: HT [") + groupe + QStringLiteral("]");
            r << r.gras(r.colle(nom + QStringLiteral(" = ")) + r.montant(s.ht));
        }
        if (s.taxeSpecifiqueHT != 0)
            r << r.gras(r.separateur(QStringLiteral(" | ")) +
                        r.colle(QStringLiteral("TS [") + groupe + QStringLiteral("] = ")) +
                        r.montant(s.taxeSpecifiqueHT));
        if (s.tva != 0)
            r << r.gras(r.separateur(QStringLiteral(" | ")) +
                        r.colle(QStringLiteral("TVA [") + groupe + QStringLiteral("]") +
                                libelleTaux(pays, g.key()) + QStringLiteral(" = ")) +
                        r.montant(s.tva));
        r << r.nl();
    }
}

// Totals, then the withholding and the net amount when the invoice has a withholding code.
void totaux(Redacteur &r)
{
    const TotauxFacture &t = r.d.totaux;
    if (!(r.d.parametres.pays == QStringLiteral("Niger") && t.totalTVA == 0))
        r.ligne(QStringLiteral("Total HT: "), r.montant(t.totalHT));
    if (t.totalTSHT != 0)
        r.ligne(QStringLiteral("TS: "), r.montant(t.totalTSHT));
    r.ligne(QStringLiteral("Total TVA: "), r.montant(t.totalTVA));
    r.ligne(QStringLiteral("Total TTC: "), r.montant(t.totalTTC));
    r << r.nl();
    if (r.d.facture.codeTaxeSpecifique.isEmpty())
        return;
    r << r.paire(r.d.mots.libelleRetenue + QStringLiteral(" ") + entierFrancais(t.tauxRetenue) +
                     QStringLiteral("% : "),
                 r.montant(t.montantRetenue)) +
             r.nl();
    if (r.d.type) {
        r.ligne(r.d.type->libelleNet, r.montant(t.netAPayer));
        r << r.nl();
    }
}

void montantRecu(Redacteur &r)
{
    const double recu = r.d.facture.montantRecu;
    if (recu == 0)
        return;
    r.ligne(QStringLiteral("Montant reçu: "), r.francs(recu));
    // Less than the net amount was received: there is no change to give back.
    const double monnaie = recu - r.d.totaux.netClient;
    if (std::round(monnaie) >= 0)
        r.ligne(QStringLiteral("Monnaie rendue: "), r.francs(monnaie));
    r << r.nl();
}

// The client's and the insurer's shares, when an insurer pays part of the invoice.
void partAssurance(Redacteur &r)
{
    const TotauxFacture &t = r.d.totaux;
    if (t.assuranceTTC == 0)
        return;
    // Label and amount pairs separated by "  |  ", where the ticket may break a long line.
    auto part = [&r](double ht, double tva, double ttc, double retenue, double net) {
        QList<QPair<QString, double>> paires{
            {QStringLiteral("HT: "), ht}, {QStringLiteral("TVA: "), tva}, {QStringLiteral("TTC: "), ttc}};
        if (retenue != 0)
            paires << QPair<QString, double>{r.d.mots.libelleRetenue + QStringLiteral(": "), retenue}
                   << QPair<QString, double>{QStringLiteral("Net: "), net};
        QStringList textes;
        for (const auto &[libelle, montant] : paires)
            textes << r.paire(libelle, r.montant(montant));
        return textes.join(r.gras(r.separateur(QStringLiteral("  |  ")))) + r.nl();
    };
    r << r.gras(QStringLiteral("Montant payé par le client")) + r.nl();
    r << part(t.clientHT, t.clientTVA, t.clientTTC, t.retenueClient, t.netClient);
    r << r.gras(QStringLiteral("Montant supporté par l'Assurance")) + r.nl();
    r << part(t.assuranceHT, t.assuranceTVA, t.assuranceTTC, t.retenueAssurance, t.netAssurance) + r.nl();
}

void commentaires(Redacteur &r)
{
    const QList<InvoiceComment> &commentaires = r.d.facture.commentaires;
    for (const InvoiceComment &c : commentaires)
        r << r.colle(r.donnee(c.libelle) + QStringLiteral(": ")) + r.donnee(c.valeur) + r.nl();
    if (!commentaires.isEmpty())
        r << r.nl();
}

// Payment, original invoice, seller, fiscal code and the device's lines (only with a fiscal result).
void blocFiscal(Redacteur &r, const ResultatLu &resultat)
{
    const Invoice &f = r.d.facture;
    const ParametresRendu &p = r.d.parametres;
    const QString &module = r.d.mots.nomModule;
    if (!f.codePaiement.isEmpty())
        r << r.champ(QStringLiteral("Mode de reglement: "), libellePaiement(f.codePaiement)) + r.nl() +
                 r.nl();
    if (!resultat.referenceOriginale.isEmpty())
        r << r.champ(QStringLiteral("Référence facture originale: "), r.code(resultat.referenceOriginale)) +
                 r.nl() + r.nl();
    if (p.pays != QStringLiteral("Niger")) {
        r.ligneChamp(QStringLiteral("Connector: "), QStringLiteral("Orvane MCF API"));
        r.apresConnecteur();
    }
    // The seller's name and number are one value: no line breaks at the bar between them.
    r.ligneChamp(QStringLiteral("Vendeur: "), r.donnee(f.nomOperateur) +
                                                  r.colle(r.separateur(QStringLiteral(" | "))) +
                                                  r.code(f.idOperateur));
    if (!f.nomCaissier.isEmpty())
        r.ligneChamp(QStringLiteral("Caissier: "), r.donnee(f.nomCaissier));
    r << r.nl();
    r << r.gras(QStringLiteral("Code ") + module + QStringLiteral(" / DGI ")) + r.nl() +
             r.code(resultat.signature) + r.nl();
    r.apresCodeFiscal();
    r.ligneChamp(module + QStringLiteral(" NIM: "), r.code(resultat.mecef_nim));
    r.ligneChamp(module + QStringLiteral(" Compteurs: "), r.code(resultat.mecef_compt));
    r.ligneChamp(module + QStringLiteral(" Heure: "), r.code(resultat.date));
    if (!p.isf.isEmpty())
        r.ligneChamp(QStringLiteral("ISF: "), r.code(p.isf));
    r.apresIsf();
}

} // namespace

Variante varianteImpression(const QString &impression)
{
    if (impression == QStringLiteral("facture") || impression == QStringLiteral("facture-pdf") ||
        impression == QStringLiteral("facture-pdf-silent"))
        return Variante::A4;
    return Variante::Ticket;
}

QString construireDocument(const Invoice &facture, const ParametresRendu &parametres,
                           const std::optional<ResultatLu> &resultat, Variante variante, int caracteresTicket)
{
    const Certification certification = etatFiscal(resultat, facture.reference).certification;
    const DonneesDocument donnees{facture,
                                  parametres,
                                  certification == Certification::NonCertifiee ? std::nullopt : resultat,
                                  mention(certification),
                                  calculerTotaux(facture, parametres.pays),
                                  vocabulaire(parametres.pays),
                                  typeFacture(facture.typeFacture),
                                  caracteresTicket};
    std::unique_ptr<Redacteur> redacteur;
    if (variante == Variante::A4)
        redacteur = std::make_unique<RedacteurA4>(donnees);
    else
        redacteur = std::make_unique<RedacteurTicket>(donnees);
    Redacteur &r = *redacteur;

    r.ouverture();
    r.mentionEnTete();
    entreprise(r);
    r.dateEtReference();
    autresLignesEntete(r);
    r.finEntete();
    client(r);
    r.titreEtColonnes();
    for (const InvoiceItem &article : facture.articles)
        r.article(article);
    r.finArticles();
    groupes(r);
    r.finGroupes();
    totaux(r);
    r.phraseFinale();
    montantRecu(r);
    partAssurance(r);
    commentaires(r);
    r.debutBlocFiscal();
    r.mentionFiscale();
    if (donnees.resultat)
        blocFiscal(r, *donnees.resultat);
    r.finBlocFiscal();
    r << r.nl() + r.donnee(parametres.message);
    if (variante == Variante::A4)
        return r.texte.replace(separateurGroupes(), QStringLiteral("&nbsp;"));
    // Lines are cut before the separators and non-breaking spaces become spaces, so that no amount
    // and no label is cut from its value.
    return remplacerSeparateurGroupes(replierLignes(r.texte, caracteresTicket))
        .replace(QChar(0x00A0), QLatin1Char(' '));
}
