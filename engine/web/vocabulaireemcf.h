#pragma once

#include <QString>

// The words of the e-MCF service that differ between Bénin and Niger. Any country other than
// "Niger" speaks the Bénin vocabulary.
struct VocabulaireEmcf
{
    bool niger = false;
    QString cleIdentifiantFiscal; // seller's and client's tax number: "ifu" / "nif"
    QString cleTaxePrelevement;   // invoice-level levy code: "aib" / "isb"
    QString cleTaxeSpecifique;    // an item's specific tax: "taxSpecific" / "taxSpecificAmount"
    QString paiementParDefaut;    // payment name of an unknown payment code: "CREDIT" / "ESPECES"
    QString cleCodeFiscal;        // fiscal code of a confirmation: "codeMECeFDGI" / "codeSECeFDGI"
};

VocabulaireEmcf vocabulaireEmcf(const QString &pays);
