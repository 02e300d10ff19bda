#pragma once

#include <ligneentree.h>

#include <QList>
#include <QString>

class QTextStream;

// One item line as the renderer reads it: the trimmed field texts, plus the line VAT computed when
// the line is read.
struct ArticleRendu
{
    QString groupeTaxe;
    QString designation;
    QString quantite;
    QString prixHT;
    QString prixTTC;
    QString complementArticle;
    QString taxeSpecifiqueHT;
    QString taxeSpecifique;
    QString partClient; // empty means the client pays the whole line
    // quantite x prixTTC - quantite x prixHT + taxeSpecifique - taxeSpecifiqueHT, at full precision.
    double tva = 0;
};

// A comment line of the input file: label and value.
struct CommentaireRendu
{
    QString libelle;
    QString valeur;
};

// The renderer's own view of the invoice input file.
struct VueFacture
{
    QString reference;
    QString typeFacture;
    QString nomOperateur = QStringLiteral("Orvane");
    QString idOperateur = QStringLiteral("1");
    QString codePaiement;
    QString nomClient;
    QString ifuClient;
    QString adresseClient;
    QString codeTaxeSpecifique;
    QString impression;
    QString dateFacture;
    QString codeClient;
    double montantRecu = 0;
    QString nomCaissier;
    QString bonCommande;
    QString matricule;
    QString ligneLibre;

    QList<ArticleRendu> articles;
    QList<CommentaireRendu> commentaires;

    // -1 once a non-comment line follows the header of a Niger credit note, refund or advance:
    // every amount of the document is then printed negative.
    int signe = 1;
    double totalTSHT = 0;
    double totalTS = 0;
};

struct LectureFacture
{
    VueFacture vue;
    // The header holds the print mode field but leaves it empty: the run ends without any output.
    bool impressionVide = false;
};

// Header layout: "1" selects the older field order, anything else the current one.
enum class DispositionEntete { Version1, Version2 };
DispositionEntete dispositionEntete(const QString &apiVersion);

// Reads the whole input file (lines as QTextStream::readLine splits them). Empty lines are skipped,
// NUL characters removed; the first remaining line is the header.
LectureFacture lireFacture(QTextStream &flux, DispositionEntete disposition, const QString &pays);
