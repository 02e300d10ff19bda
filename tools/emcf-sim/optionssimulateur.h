#pragma once

#include "serviceemcf.h"

#include <QHostAddress>
#include <QMap>
#include <QStringList>

// Everything the command line of orvane-emcf-sim says.
struct OptionsSimulateur
{
    OptionsService service;
    QHostAddress adresse = QHostAddress::LocalHost;
    quint16 port = 0; // 0: any free port, printed on the first line
    QString certificat;
    QString cle;
    // Step name (etat: GET, soumission: POST, decision: PUT) -> wait before its answer is written,
    // the request already carried out.
    QMap<QString, Pause> pauses;
};

// The country of a --pays value: false for BJ or Bénin, true for NE or Niger, nothing otherwise.
std::optional<bool> paysNiger(const QString &pays);

// Parses the arguments (program name first). On a wrong command line returns nothing and puts the
// reason in `erreur`; "--help" sets `aide` and puts the help text in `erreur`.
std::optional<OptionsSimulateur> lireOptions(const QStringList &arguments, QString &erreur, bool &aide);
