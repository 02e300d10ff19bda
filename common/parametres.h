#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QSysInfo>

// Reading of app.xml, the one settings file shared by the three programs: a single XML element
// whose attributes are the settings. Each program reads the keys it needs; the editor keeps them all.

namespace cles {
// Certification (engine)
inline const QString pays = QStringLiteral("pays");
inline const QString modeMCF = QStringLiteral("modeMCF");
inline const QString jeton = QStringLiteral("jeton");
inline const QString portMCF = QStringLiteral("portMCF");
inline const QString encodage = QStringLiteral("encodage");
inline const QString isf = QStringLiteral("isf");
inline const QString modePrix = QStringLiteral("modePrix");
inline const QString tolerance = QStringLiteral("tolerance");
// The register: empty, the SQLite file beside the engine; else a PostgreSQL connection URI shared by
// the shop's tills, its password apart, and the time limits of its connection and statements
// (seconds).
inline const QString registre = QStringLiteral("registre");
inline const QString motDePasseRegistre = QStringLiteral("motDePasseRegistre");
inline const QString delaiConnexionRegistre = QStringLiteral("delaiConnexionRegistre");
inline const QString delaiRequeteRegistre = QStringLiteral("delaiRequeteRegistre");
// The till's name in the register's list of certified invoices; empty: the machine's name.
inline const QString caisse = QStringLiteral("caisse");
// Document identity and layout (renderer)
inline const QString logo = QStringLiteral("logo");
inline const QString entreprise = QStringLiteral("entreprise");
inline const QString adresse = QStringLiteral("adresse");
inline const QString telephone = QStringLiteral("telephone");
inline const QString email = QStringLiteral("email");
inline const QString message = QStringLiteral("message");
inline const QString rccm = QStringLiteral("rccm");
inline const QString ifu = QStringLiteral("ifu");
inline const QString apiVersion = QStringLiteral("apiVersion");
inline const QString fontName = QStringLiteral("fontName");
inline const QString fontSize = QStringLiteral("fontSize");
inline const QString logoTop = QStringLiteral("logoTop");
inline const QString economieEspace = QStringLiteral("economieEspace");
// Printable width of the ticket roll in millimetres (default largeurTicketParDefaut).
inline const QString largeurTicket = QStringLiteral("largeurTicket");
// Background server program (editor only)
inline const QString mode = QStringLiteral("mode");
inline const QString dossier = QStringLiteral("dossier");
inline const QString filtre = QStringLiteral("filtre");
inline const QString serveurMCF = QStringLiteral("serveurMCF");
inline const QString suppression = QStringLiteral("suppression");
inline const QString retraiterExistant = QStringLiteral("retraiterExistant");
inline const QString host = QStringLiteral("host");
inline const QString port = QStringLiteral("port");
inline const QString utilisateur = QStringLiteral("utilisateur");
inline const QString password = QStringLiteral("password");
inline const QString timeout = QStringLiteral("timeout");
inline const QString transfererSortie = QStringLiteral("transfererSortie");
inline const QString optimize = QStringLiteral("optimize");
} // namespace cles

enum class EtatParametres {
    Introuvable, // there is no such file
    Illisible,   // the file is there but could not be opened (rights, a folder, a lock)
    Invalide,    // it opened but is not a well-formed XML document
    Charge,      // parsed; the attributes of its document element are in `attributs`
};

struct FichierParametres
{
    EtatParametres etat = EtatParametres::Introuvable;
    QList<QPair<QString, QString>> attributs; // in file order

    // Attribute text, empty when absent: readers never tell an absent key from an empty one.
    QString valeur(const QString &cle) const;
    bool contient(const QString &cle) const;
};

// Parses the bytes of a settings file (encoding detected as an XML parser does).
FichierParametres analyserParametres(const QByteArray &contenu);
// Opens and parses the file at `chemin`.
FichierParametres lireFichierParametres(const QString &chemin);

// Conversions shared by every reader.
int versEntier(const QString &texte);        // base 10, 0 when not a number
bool versInterrupteur(const QString &texte); // on when the text is a non-zero integer
// Decimal numbers are read as those of the input file: nombreEntree (formats.h).

// The engine's settings for one run. Defaults are those in force when no file could be loaded.
struct ParametresMoteur
{
    QString pays = QStringLiteral("Bénin");
    QString portMCF;
    QString encodage;
    QString isf;
    QString modePrix;
    QString modeMCF;
    QString jeton;
    QString apiVersion; // "1": the input file's header has the older layout
    double tolerance = 0;
    QString registre;           // empty: mcf.s3db beside the engine
    QString motDePasseRegistre; // never shown
    int delaiConnexionRegistre = 5;
    int delaiRequeteRegistre = 10;
    QString caisse = QSysInfo::machineHostName(); // the till's name as the register lists it
    // Derived: true selects the web path. Stays true (with no endpoint) when no file was loaded.
    bool modeEnLigne = true;
    QString adresseApi; // set by the engine from pays and modeMCF
};

// Applies a loaded file over the engine's built-in values (a file that did not load changes nothing).
ParametresMoteur parametresMoteur(const FichierParametres &fichier);
// The engine's console lines for the outcome of reading app.xml.
QString messagesLectureMoteur(EtatParametres etat);

// Printable width of an 80 mm till roll, in millimetres.
inline constexpr double largeurTicketParDefaut = 72.0;

// The renderer's settings.
struct ParametresRendu
{
    QString logo, pays, isf, entreprise, adresse, telephone, email, message, rccm, ifu, apiVersion;
    QString encodage; // of the input file, as the engine reads it (encodageEntree)
    QString fontName = QStringLiteral("Lucida Console");
    int fontSize = 6;
    bool logoTop = false;
    bool economieEspace = false;
    // Printable width of the ticket roll: 72 mm on the usual 80 mm paper. A value that is not a
    // positive number keeps the default.
    double largeurTicket = largeurTicketParDefaut;
};

ParametresRendu parametresRendu(const FichierParametres &fichier);
// The renderer's console line when the file did not load (empty when it did).
QString messageLectureRendu(EtatParametres etat);
