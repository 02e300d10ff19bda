#include "ecriturefichier.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path cheminNatif(const QString &chemin)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(chemin.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(chemin).toStdString());
#endif
}

} // namespace

QString creerFichierProvisoire(const QString &chemin)
{
    const QString dossier = QFileInfo(chemin).path();
    // A short hidden name: the final name may already be as long as the file system allows.
    for (int essai = 0; essai < 16; ++essai) {
        const QString provisoire = dossier + QStringLiteral("/.orvane-") +
                                   QString::number(QRandomGenerator::global()->generate64(), 36) +
                                   QStringLiteral(".tmp");
        QFile fichier(provisoire);
        // NewOnly is O_CREAT | O_EXCL: it fails on any existing name, a symbolic link included.
        if (fichier.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return provisoire;
        const QFileInfo pris(provisoire);
        if (!pris.exists() && !pris.isSymLink())
            break; // not a clash of names: the folder is missing or not writable
    }
    return {};
}

bool renommerParDessus(const QString &source, const QString &cible)
{
    std::error_code erreur;
    // rename(2) replaces the directory entry itself; on Windows MoveFileEx with REPLACE_EXISTING.
    std::filesystem::rename(cheminNatif(source), cheminNatif(cible), erreur);
    return !erreur;
}

bool remplacerFichier(const QString &chemin, const QByteArray &contenu)
{
    const QString provisoire = creerFichierProvisoire(chemin);
    if (provisoire.isEmpty())
        return false;
    QFile fichier(provisoire);
    const bool ecrit =
        fichier.open(QIODevice::WriteOnly) && fichier.write(contenu) == contenu.size() && fichier.flush();
    fichier.close();
    if (ecrit && fichier.error() == QFileDevice::NoError && renommerParDessus(provisoire, chemin))
        return true;
    QFile::remove(provisoire);
    return false;
}
