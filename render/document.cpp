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
        r << r.gras(p.entreprise) + r.nl();
    if (r.eco()) {
        r << p.adresse + QStringLiteral(" - ") + p.telephone + r.nl();
        r << r.gras(QStringLiteral("RCCM: ")) + p.rccm + QStringLiteral(" - ") +
                 r.gras(r.d.mots.libelleNumero + QStringLiteral(": ")) + p.ifu + r.nl();
        return;
    }
    const QList<QPair<QString, QString>> details{{QStringLiteral("Adressse: "), p.adresse},
                                                 {QStringLiteral("Téléphone: "), p.telephone},
                                                 {QStringLiteral("E-mail: "), p.email},
                                                 {QStringLiteral("RCCM: "), p.rccm},
                                                 {r.d.mots.libelleNumero + QStringLiteral(": "), p.ifu}};
    for (const auto &[libelle, valeur] : details) {
        if (!valeur.isEmpty())
            r.ligne(libelle, valeur);
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

// One line per tax group: its amount without tax, specific tax and VAT.
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
            r << r.gras(nom + QStringLiteral(" = ") + r.montant(s.ht));
        }
        if (s.taxeSpecifiqueHT != 0)
            r << r.gras(QStringLiteral(" | TS [") + groupe + QStringLiteral("] = ") +
                        r.montant(s.taxeSpecifiqueHT));
        if (s.tva != 0)
            r << r.gras(QStringLiteral(" | TVA [") + groupe + QStringLiteral("]") +
                        libelleTaux(pays, g.key()) + QStringLiteral(" = ") + r.montant(s.tva));
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
    r << r.gras(r.d.mots.libelleRetenue + QStringLiteral(" ") + entierFrancais(t.tauxRetenue) +
                QStringLiteral("% : ")) +
             r.montant(t.montantRetenue) + r.nl();
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
    r << r.gras(QStringLiteral("Montant reçu: ")) + r.montant(recu) + QStringLiteral(" F CFA.") + r.nl();
    // Less than the net amount was received: there is no change to give back.
    const double monnaie = recu - r.d.totaux.netClient;
    if (std::round(monnaie) >= 0)
        r << r.gras(QStringLiteral("Monnaie rendue: ")) + r.montant(monnaie) + QStringLiteral(" F CFA.") +
                 r.nl();
    r << r.nl();
}

// The client's and the insurer's shares, when an insurer pays part of the invoice.
void partAssurance(Redacteur &r)
{
    const TotauxFacture &t = r.d.totaux;
    if (t.assuranceTTC == 0)
        return;
    auto part = [&r](double ht, double tva, double ttc, double retenue, double net) {
        QString ligne = r.gras(QStringLiteral("HT: ")) + r.montant(ht) +
                        r.gras(QStringLiteral("  |  TVA: ")) + r.montant(tva) +
                        r.gras(QStringLiteral("  |  TTC: ")) + r.montant(ttc);
        if (retenue != 0)
            ligne += r.gras(QStringLiteral("  |  ") + r.d.mots.libelleRetenue + QStringLiteral(": ")) +
                     r.montant(retenue) + r.gras(QStringLiteral("  |  Net: ")) + r.montant(net);
        return ligne + r.nl();
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
        r << r.donnee(c.libelle) + QStringLiteral(": ") + r.donnee(c.valeur) + r.nl();
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
        r << r.gras(QStringLiteral("Mode de reglement: ")) + libellePaiement(f.codePaiement) + r.nl() +
                 r.nl();
    if (!resultat.referenceOriginale.isEmpty())
        r << r.gras(QStringLiteral("Référence facture originale: ")) + r.donnee(resultat.referenceOriginale) +
                 r.nl() + r.nl();
    if (p.pays != QStringLiteral("Niger")) {
        r.ligne(QStringLiteral("Connector: "), QStringLiteral("Orvane MCF API"));
        r.apresConnecteur();
    }
    r << r.gras(QStringLiteral("Vendeur: ")) + r.donnee(f.nomOperateur) + QStringLiteral(" | ") +
             r.donnee(f.idOperateur) + r.nl();
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
        r.ligne(QStringLiteral("ISF: "), p.isf);
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
                           const std::optional<ResultatLu> &resultat, const QString &imageQr,
                           Variante variante, int caracteresTicket)
{
    const DonneesDocument donnees{facture,
                                  parametres,
                                  resultat,
                                  imageQr,
                                  calculerTotaux(facture, parametres.pays),
                                  vocabulaire(parametres.pays),
                                  typeFacture(facture.typeFacture, parametres.entreprise),
                                  caracteresTicket};
    std::unique_ptr<Redacteur> redacteur;
    if (variante == Variante::A4)
        redacteur = std::make_unique<RedacteurA4>(donnees);
    else
        redacteur = std::make_unique<RedacteurTicket>(donnees);
    Redacteur &r = *redacteur;

    r.ouverture();
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
    if (resultat)
        blocFiscal(r, *resultat);
    r.finBlocFiscal();
    r << r.nl() + parametres.message;
    if (variante == Variante::A4)
        return r.texte.replace(separateurGroupes(), QStringLiteral("&nbsp;"));
    // Lines are cut before the separators become spaces, so that no amount is cut.
    return remplacerSeparateurGroupes(replierLignes(r.texte, caracteresTicket));
}
