#pragma once

#include <resultatlu.h>

#include <invoice.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QString>
#include <QTextStream>

#include <optional>

// The renderer's inputs read from texts, as the renderer reads its files.

// A settings file holding the given attributes, read as the renderer reads app.xml.
inline ParametresRendu parametres(const QString &attributs)
{
    return parametresRendu(analyserParametres(("<app " + attributs + "/>").toUtf8()));
}

// An input file read with the header layout and country of the settings.
inline Invoice lire(QString entree, const ParametresRendu &p)
{
    QTextStream flux(&entree);
    return lireFacture(flux, {dispositionEntete(p.apiVersion), p.pays, true});
}

// A result file's line; nothing for a null line (no result file).
inline std::optional<ResultatLu> resultat(QString ligne)
{
    if (ligne.isNull())
        return std::nullopt;
    QTextStream flux(&ligne);
    return lireResultat(flux);
}
