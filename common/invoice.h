#pragma once

#include <formats.h>
#include <totaux.h>

#include <QList>
#include <QString>

// The invoice record, as both the engine and the renderer read it from the invoice input file.
// Texts are the trimmed fields as written in the file; the numbers beside them are read once from
// those texts. No I/O here: the reader is lecturefacture.h, the amounts and totals totaux.h.

// The numbers of an item line (0 for an absent field or a text that is not a number).
struct NombresArticle
{
    double quantite = 0;
    double prixHT = 0;
    double prixTTC = 0;
    double taxeSpecifiqueHT = 0;
    double taxeSpecifique = 0;
    double partClient = 100; // an empty field means the client pays the whole line
};

// One item line.
struct InvoiceItem
{
    QString designation;
    QString quantite;
    QString prixHT;
    QString tva; // TTC - HT of the line, rounded to a whole number, written with the French locale
    QString prixTTC;
    QString complementArticle;
    QString taxeSpecifiqueHT;
    QString taxeSpecifique;
    QString groupeTaxe;
    QString partClient; // percent of the line paid by the client (renderer)
    NombresArticle nombres;
    int ligneFichier = 0; // line of the input file it was read from, from 1 (0: not read from a file)
};

// A comment line: a kind (label) and a text (value).
struct InvoiceComment
{
    QString libelle;
    QString valeur;
};

// The invoice of one run.
struct Invoice
{
    QString reference;
    QString typeFacture;
    QString nomOperateur = QStringLiteral("Orvane");
    QString idOperateur = QStringLiteral("1");
    QString codePaiement;
    QString nomClient;
    QString ifuClient;
    QString adresseClient;
    QString contactClient;
    QString contactClient2;
    QString codeTaxeSpecifique;
    QString impression;
    // The header's text naming a refunded invoice, as written (a business reference or a fiscal one).
    QString factureOriginale;
    QString referenceOriginale; // fiscal reference of the refunded invoice; empty for a sale
    double totalFacture = 0;    // sum of the line totals the engine certifies, in input order
    QList<InvoiceItem> articles;
    QList<InvoiceComment> commentaires;
    int nombreLignes = 0; // counted lines read so far; 0 while the header is awaited
    int champsEntete = 0; // fields of the header line

    // Fields only the renderer prints.
    QString dateFacture;
    QString codeClient;
    double montantRecu = 0;
    QString nomCaissier;
    QString bonCommande;
    QString matricule;
    QString ligneLibre;
    // -1 once a non-comment line follows the header of a Niger credit note, refund or advance:
    // every amount of the documents is then printed negative.
    int signe = 1;
    // The header holds the print mode field but leaves it empty (the renderer then prints nothing).
    bool impressionVide = false;
};
