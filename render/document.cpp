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
        r << r.donnee(p.adresse) + QStringLiteral(" - ") + r.donnee(p.telephone) + r.nl();
        r << r.paire(QStringLiteral("RCCM: "), r.donnee(p.rccm)) + QStringLiteral(" - ") +
                 r.paire(r.d.mots.libelleNumero + QStringLiteral(": "), r.donnee(p.ifu)) + r.nl();
        return;
    }
    const QList<QPair<QString, QString>> details{{QStringLiteral("Adressse: "), p.adresse},
                                                 {QStringLiteral("Téléphone: "), p.telephone},
                                                 {QStringLiteral("E-mail: "), p.email},
                                                 {QStringLiteral("RCCM: "), p.rccm},
                                                 {r.d.mots.libelleNumero + QStringLiteral(": "), p.ifu}};
    for (const auto &[libelle, valeur] : details) {
        if (!valeur.isEmpty())
            r.ligne(libelle, r.donnee(valeur));
    }
}

// Purchase order, free line and matricule of the header.
void autresLignesEntete(Redacteur &r)
{
    const Invoice &f = r.d.facture;
    if (!f.bonCommande.isEmpty())
        r.ligne(QStringLiteral("Bon de commande: "), r.donnee(f.bonCommande));
    if (!f.ligneLibre.isEmpty())
        r << r.donnee(f.ligneLibre) + r.nl();
    if (!f.matricule.isEmpty())
        r.ligne(QStringLiteral("Matricule: "), r.donnee(f.matricule));
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
        r.ligne(QStringLiteral("Adresse: "), r.donnee(f.adresseClient));
    if (!f.codeClient.isEmpty())
        r.ligne(QStringLiteral("Code client: "), r.donnee(f.codeClient));
    if (!f.ifuClient.isEmpty())
        r.ligne(r.d.mots.libelleNumero + QStringLiteral(": "), r.donnee(f.ifuClient));
}

// One line per tax group: its amount without tax, specific tax and VAT, each a label and its amount
// that no line break separates; the ticket breaks a long line at the " | " between them.
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
            r << r.gras(QStringLiteral(" | ") +
                        r.colle(QStringLiteral("TS [") + groupe + QStringLiteral("] = ")) +
                        r.montant(s.taxeSpecifiqueHT));
        if (s.tva != 0)
            r << r.gras(QStringLiteral(" | ") +
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
        return textes.join(r.gras(QStringLiteral("  |  "))) + r.nl();
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
        r << r.paire(QStringLiteral("Mode de reglement: "), libellePaiement(f.codePaiement)) + r.nl() +
                 r.nl();
    if (!resultat.referenceOriginale.isEmpty())
        r << r.paire(QStringLiteral("Référence facture originale: "), r.donnee(resultat.referenceOriginale)) +
                 r.nl() + r.nl();
    if (p.pays != QStringLiteral("Niger")) {
        r.ligne(QStringLiteral("Connector: "), QStringLiteral("Orvane MCF API"));
        r.apresConnecteur();
    }
    // The seller's name and number are one value: the ticket does not break the line between them.
    r.ligne(QStringLiteral("Vendeur: "),
            r.donnee(f.nomOperateur) + r.colle(QStringLiteral(" | ")) + r.donnee(f.idOperateur));
    if (!f.nomCaissier.isEmpty())
        r.ligne(QStringLiteral("Caissier: "), r.donnee(f.nomCaissier));
    r << r.nl();
    r << r.gras(QStringLiteral("Code ") + module + QStringLiteral(" / DGI ")) + r.nl() +
             r.donnee(resultat.signature) + r.nl();
    r.apresCodeFiscal();
    r.ligne(module + QStringLiteral(" NIM: "), r.donnee(resultat.mecef_nim));
    r.ligne(module + QStringLiteral(" Compteurs: "), r.donnee(resultat.mecef_compt));
    r.ligne(module + QStringLiteral(" Heure: "), r.donnee(resultat.date));
    if (!p.isf.isEmpty())
        r.ligne(QStringLiteral("ISF: "), r.donnee(p.isf));
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
