#include "textesconsole.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace {

// Folders whose programs are orvane-engine (with its e-MCF module) and orvane-render.
const QStringList dossiersSources{QStringLiteral("engine"), QStringLiteral("render"),
                                  QStringLiteral("common")};

// Files whose literals are the documents' own texts or file formats, never console lines: the A4
// invoice and the ticket, the QR image formats, the register's table layout.
const QStringList fichiersSansConsole{
    QStringLiteral("render/document.cpp"),
    QStringLiteral("render/redacteura4.cpp"),
    QStringLiteral("render/redacteurticket.cpp"),
    QStringLiteral("render/colonnesticket.cpp"),
    QStringLiteral("render/colonnesticket.h"),
    QStringLiteral("render/pagesfacture.cpp"),
    QStringLiteral("render/vocabulaire.cpp"),
    QStringLiteral("render/dessinticket.cpp"),
    QStringLiteral("render/dessinqr.cpp"),
    QStringLiteral("render/redacteur.h"),
    QStringLiteral("common/qrsvg.cpp"),
    QStringLiteral("common/pngqr.cpp"),
    QStringLiteral("engine/registre/schemaregistre.h"),
    QStringLiteral("engine/registre/exportcertifiees.cpp"),
};

// Literals of the scanned files that are not console texts, each for its reason.
const QList<QRegularExpression> litterauxSansConsole{
    // SQL statements and their pieces
    QRegularExpression(
        QStringLiteral("^(select|insert|update|delete|create|alter|pragma|begin|commit|rollback|savepoint|"
                       "release|with|where|from|"
                       "and|or|order|values|on|set|drop|lock|returning|coalesce|reference,|mecef_|-c )\\b"),
        QRegularExpression::CaseInsensitiveOption),
    QRegularExpression(
        QStringLiteral("\\?|\\bfrom (facture|certification)\\b|current_(database|schema)|nextval|"
                       "\\b(text|integer|bigint) not null|'%1'|^[;=]|\\bessai;|on conflict|left join|"
                       "^qrcode, mecef_")),
    // the PostgreSQL session's name and settings, the register's lock key
    QRegularExpression(QStringLiteral("^(orvane|session|cycle)$")),
    // the e-MCF request's authorization header
    QRegularExpression(QStringLiteral("^Bearer$")),
    // the ticket font's default family, the print preview's window title
    QRegularExpression(QStringLiteral("^Lucida Console$|^Orvane MCF - Aperçu avant impression$")),
    // the document's own mark and sentences (printed on the invoice, not on the console)
    QRegularExpression(QStringLiteral("^(Résultat de démonstration|Cette facture n'a pas été certifiée)")),
    // the Windows command that stops the PHP server, and the renderer's command line
    QRegularExpression(QStringLiteral("^taskkill |^orvane-render$")),
    // date formats
    QRegularExpression(QStringLiteral("^(dd/MM/yyyy|HH:mm:ss|yyyyMMddHHmmss)")),
};

// A piece reads as words when it holds two letters in a row and a space between two words, ends
// a sentence, or is a word that a value follows or precedes ("Erreur " + code, " + TS ("); single
// words (keys, codes) are left out.
bool enMots(const QString &piece, const QString &morceau)
{
    static const QRegularExpression lettres(QStringLiteral("\\p{L}{2}"));
    static const QRegularExpression phrase(QStringLiteral("\\p{L}\\W* +\\W*\\p{L}|[.:]$"));
    static const QRegularExpression colle(QStringLiteral("^ +\\W*\\p{L}|\\p{L} +$"));
    return lettres.match(morceau).hasMatch() &&
           (phrase.match(morceau).hasMatch() || colle.match(piece).hasMatch());
}

bool sansConsole(const QString &morceau)
{
    for (const QRegularExpression &motif : litterauxSansConsole)
        if (motif.match(morceau).hasMatch())
            return true;
    return false;
}

struct Litteral
{
    int ligne = 0;
    QString texte;
};

QChar echappement(QChar c)
{
    switch (c.unicode()) {
    case 'n':
        return QLatin1Char('\n');
    case 't':
        return QLatin1Char('\t');
    case 'r':
        return QLatin1Char('\r');
    case '0':
        return QChar(0);
    default:
        return c; // \" \\ \'
    }
}

// The string literals of a C++ source, comments and character literals skipped, adjacent literals
// joined (only white space or comments between them), with the line where each starts.
QList<Litteral> litteraux(const QString &source)
{
    QList<Litteral> resultat;
    int ligne = 1;
    bool joindre = false; // the last token was a literal
    const int n = source.size();
    for (int i = 0; i < n;) {
        const QChar c = source.at(i);
        if (c == QLatin1Char('\n')) {
            ++ligne;
            ++i;
        } else if (c.isSpace()) {
            ++i;
        } else if (source.mid(i, 2) == QLatin1String("//")) {
            while (i < n && source.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (source.mid(i, 2) == QLatin1String("/*")) {
            const int fin = source.indexOf(QLatin1String("*/"), i + 2);
            const int bout = fin < 0 ? n : fin + 2;
            ligne += source.mid(i, bout - i).count(QLatin1Char('\n'));
            i = bout;
        } else if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n && source.at(i) != QLatin1Char('\''))
                i += source.at(i) == QLatin1Char('\\') ? 2 : 1;
            ++i;
            joindre = false;
        } else if (c == QLatin1Char('"')) {
            const int debut = ligne;
            QString texte;
            ++i;
            while (i < n && source.at(i) != QLatin1Char('"')) {
                if (source.at(i) == QLatin1Char('\\') && i + 1 < n) {
                    texte += echappement(source.at(i + 1));
                    i += 2;
                } else {
                    if (source.at(i) == QLatin1Char('\n'))
                        ++ligne;
                    texte += source.at(i++);
                }
            }
            ++i;
            if (joindre && !resultat.isEmpty())
                resultat.last().texte += texte;
            else
                resultat.append({debut, texte});
            joindre = true;
        } else {
            // u8"..." and the like: the prefix is an identifier, the literal follows
            joindre = false;
            ++i;
        }
    }
    return resultat;
}

QString espacesSimples(QString texte)
{
    static const QRegularExpression blancs(QStringLiteral("\\s+"));
    return texte.replace(blancs, QStringLiteral(" ")).trimmed();
}

} // namespace

QList<TexteConsole> textesConsole(const QString &racineSources)
{
    static const QRegularExpression coupures(QStringLiteral("\\n|%\\d"));
    QList<TexteConsole> textes;
    const QDir racine(racineSources);
    for (const QString &dossier : dossiersSources) {
        QDirIterator it(racine.filePath(dossier), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        QStringList fichiers;
        while (it.hasNext())
            fichiers << racine.relativeFilePath(it.next());
        fichiers.sort();
        for (const QString &relatif : fichiers) {
            if (fichiersSansConsole.contains(relatif))
                continue;
            QFile f(racine.filePath(relatif));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            for (const Litteral &l : litteraux(QString::fromUtf8(f.readAll()))) {
                for (const QString &piece : l.texte.split(coupures)) {
                    const QString morceau = espacesSimples(piece);
                    if (enMots(piece, morceau) && !sansConsole(morceau))
                        textes.append({relatif, l.ligne, morceau});
                }
            }
        }
    }
    return textes;
}

QList<LigneTableMessages> tableMessages(const QString &cheminGuide)
{
    QList<LigneTableMessages> lignes;
    QFile f(cheminGuide);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return lignes;
    const QStringList texte = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    static const QRegularExpression premiereCellule(QStringLiteral("^\\|\\s*`(.*?)`\\s*(?<!\\\\)\\|"));
    bool dedans = false;
    for (int i = 0; i < texte.size(); ++i) {
        const QString &l = texte.at(i);
        if (l.startsWith(QLatin1String("## ")))
            dedans = l.trimmed() == QLatin1String("## Messages de la console");
        if (!dedans)
            continue;
        const QRegularExpressionMatch m = premiereCellule.match(l);
        if (m.hasMatch())
            lignes.append({i + 1, m.captured(1).replace(QLatin1String("\\|"), QLatin1String("|"))});
    }
    return lignes;
}

bool texteDansLigne(const QString &texte, const QString &ligne)
{
    return espacesSimples(ligne).contains(espacesSimples(texte));
}
