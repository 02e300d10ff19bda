#pragma once

#include "donneescommandes.h"

#include <QString>
#include <QStringList>

class LiaisonMCF;

// The commands of the fiscal device, each sent through the link and judged by its reply. Which
// layout a command takes follows the variant the machine-state reply revealed (`codePays`).
class CommandesMCF
{
public:
    CommandesMCF(LiaisonMCF &liaison, EtatAppareil &appareil);

    // 0xC1. Records the variant, the identifier and the group rates on success.
    bool verifierEtatMachine();
    // 0xC3, Niger only (success without sending on any other device).
    bool enregistrerClient(const QString &ifuClient, const QString &nomClient, const QString &adresseClient,
                           const QString &contactClient, const QString &contactClient2);
    // 0xC0. An empty `isf` is replaced by "Orvane" for the rest of the run when it is sent.
    bool creerFacture(const EnteteFacture &entete, const QString &modePrix, QString &isf);
    // 0x31.
    bool ajouterArticle(const InvoiceItem &article, const QString &modePrix);
    // 0x36, Niger only (failure without sending on any other device).
    bool enregistrerCommentaire(const QString &genre, const QString &texte);
    // 0x33.
    EvaluationSousTotal demanderSousTotal(double totalFacture, double sommeQuantites, double tolerance);
    // 0x35. The reply is not examined.
    void confirmerFacture(const QString &codePaiement, const QString &sousTotal);
    // 0x38. Validated (with the six fiscal texts), cancelled, or no readable reply.
    Fermeture fermerFacture();

private:
    void journal(const QString &message);

    LiaisonMCF &m_liaison;
    EtatAppareil &m_appareil;
};
