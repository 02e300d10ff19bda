#include "enregistrement.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QSaveFile>
#include <QSet>
#include <QXmlStreamWriter>

Attributs fusionnerAttributs(const Attributs &editeur, const Attributs &existants)
{
    Attributs resultat = editeur;
    QSet<QString> vues;
    for (const auto &a : editeur)
        vues.insert(a.first);
    for (const auto &a : existants) {
        if (vues.contains(a.first))
            continue;
        vues.insert(a.first);
        resultat.append(a);
    }
    return resultat;
}

static bool caractereXmlValide(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

QString texteXmlValide(const QString &texte)
{
    QString resultat;
    resultat.reserve(texte.size());
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte.at(i);
        if (c.isHighSurrogate() && i + 1 < texte.size() && texte.at(i + 1).isLowSurrogate()) {
            const char32_t point = QChar::surrogateToUcs4(c, texte.at(i + 1));
            if (caractereXmlValide(point)) {
                resultat.append(c);
                resultat.append(texte.at(i + 1));
            }
            ++i;
            continue;
        }
        // A surrogate here is unpaired, which caractereXmlValide rejects with the other code points.
        if (caractereXmlValide(c.unicode()))
            resultat.append(c);
    }
    return resultat;
}

QByteArray documentParametres(const Attributs &attributs)
{
    QByteArray contenu;
    // No automatic formatting: with a single element and no children there is nothing to indent,
    // and the writer would otherwise put a blank line before the element.
    QXmlStreamWriter xml(&contenu);
    xml.writeEmptyElement(QStringLiteral("app"));
    for (const auto &a : attributs) {
        // A name holding a character XML cannot carry (the parser lets "pays\0" through) names no
        // setting: written without that character it could repeat another name and break the file.
        if (texteXmlValide(a.first) != a.first)
            continue;
        xml.writeAttribute(a.first, texteXmlValide(a.second));
    }
    xml.writeEndDocument(); // closes the element; Qt also ends the document with a newline
    if (!contenu.endsWith('\n'))
        contenu.append('\n');
    return contenu;
}

bool enregistrerFichier(const QString &chemin, const QByteArray &contenu)
{
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly))
        return false;
    if (fichier.write(contenu) != contenu.size()) {
        fichier.cancelWriting();
        return false;
    }
#ifdef Q_OS_UNIX
    // The new file takes the old one's mode and group before it replaces it: app.xml holds secrets
    // and is readable by the shop's group only, which a file made with the user's umask would undo.
    struct stat ancien;
    if (::stat(QFile::encodeName(chemin).constData(), &ancien) == 0) {
        if (::fchown(fichier.handle(), static_cast<uid_t>(-1), ancien.st_gid) != 0) {
            // Not a member of that group: the file stays this user's, readable by nobody else.
            ::fchmod(fichier.handle(), ancien.st_mode & 0700);
        } else {
            ::fchmod(fichier.handle(), ancien.st_mode & 07777);
        }
    }
#endif
    return fichier.commit();
}
