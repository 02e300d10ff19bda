#pragma once

#include <attente.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <memory>
#include <vector>

// Runs many short helper commands (pdftotext, pdftoppm, zbarimg) a few at a time and returns their
// standard outputs in order; an output is empty when its command failed or ran too long.
inline QStringList lancerEnParallele(const QList<QStringList> &commandes, int enMemeTemps = 4)
{
    QStringList sorties(commandes.size());
    std::vector<std::pair<qsizetype, std::unique_ptr<QProcess>>> enCours;
    qsizetype suivant = 0;
    auto terminer = [&](std::pair<qsizetype, std::unique_ptr<QProcess>> &p) {
        QProcess &processus = *p.second;
        if (!processus.waitForFinished(attenteFauteMs))
            processus.kill();
        else if (processus.exitStatus() == QProcess::NormalExit && processus.exitCode() == 0)
            sorties[p.first] = QString::fromUtf8(processus.readAllStandardOutput());
    };
    while (suivant < commandes.size() || !enCours.empty()) {
        while (suivant < commandes.size() && static_cast<int>(enCours.size()) < enMemeTemps) {
            auto processus = std::make_unique<QProcess>();
            processus->start(commandes.at(suivant).first(), commandes.at(suivant).mid(1));
            enCours.emplace_back(suivant++, std::move(processus));
        }
        terminer(enCours.front());
        enCours.erase(enCours.begin());
    }
    return sorties;
}

// Texts of the QR codes of `pdf` as a 203 dpi thermal printer prints them: every page rendered in
// one bit per pixel (`pdftoppm -r 203 -mono`) and read by zbarimg, in page order. `racine` names the
// page images (racine-1.png, ...).
inline QStringList codesQrA203ppp(const QString &pdf, const QString &racine)
{
    lancerEnParallele({{"pdftoppm", "-r", "203", "-mono", "-png", pdf, racine}});
    const QFileInfo r(racine);
    QList<QStringList> lectures;
    for (const QString &image :
         QDir(r.path()).entryList({r.fileName() + QStringLiteral("-*.png")}, QDir::Files, QDir::Name))
        lectures.append({"zbarimg", "-q", "--raw", r.dir().filePath(image)});
    // zbarimg fails on a page without a code: its output is empty.
    QStringList codes;
    for (const QString &sortie : lancerEnParallele(lectures))
        codes << sortie.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return codes;
}
