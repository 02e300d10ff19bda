#include "fichierpdf.h"

#include <ecriturefichier.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ostream>

FichierPdf::FichierPdf(const QString &chemin, std::ostream &console)
    : m_chemin(QFileInfo(chemin).absoluteFilePath()), m_console(console)
{
    QDir().mkpath(QFileInfo(m_chemin).path());
    m_provisoire = creerFichierProvisoire(m_chemin);
    if (m_provisoire.isEmpty())
        signalerEchec();
}

FichierPdf::~FichierPdf()
{
    if (!m_provisoire.isEmpty())
        QFile::remove(m_provisoire);
}

bool FichierPdf::publier()
{
    if (m_provisoire.isEmpty())
        return false;
    // The printer opens its file only when it starts a page: an empty file means it could not.
    const bool ecrit = QFileInfo(m_provisoire).size() > 0 && renommerParDessus(m_provisoire, m_chemin);
    if (!ecrit) {
        signalerEchec();
        return false;
    }
    m_provisoire.clear();
    return true;
}

void FichierPdf::signalerEchec()
{
    m_console << "Impossible d'ecrire le fichier PDF " << QDir::toNativeSeparators(m_chemin).toStdString()
              << "\n";
}
