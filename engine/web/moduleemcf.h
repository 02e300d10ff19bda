#pragma once

#include <chemincertification.h>

#include <QString>

#include <ostream>

struct ParametresMoteur;
struct TablesReference;

// Where and how the client reaches the e-MCF service, as the run driver decided it.
struct ReglagesEmcf
{
    QString adresse;          // invoice endpoint
    QString fichierAutorites; // PEM file of the authorities to trust instead of the system's; empty for these
    int delaiMs = 30000;      // time limit of each request
};

// The e-MCF client is built as a module of its own, "orvane-emcf" beside the engine, which the
// engine loads only for a run that certifies online: a device run, a reprint or a demonstration
// never loads the network and TLS libraries, which make up about a quarter of the engine's start.
// The module exports one function under this name; the caller owns the path it returns.
inline constexpr char nomModuleEmcf[] = "orvane-emcf";
inline constexpr char nomFabriqueEmcf[] = "orvaneCreerCheminEmcf";
using FabriqueCheminEmcf = CheminCertification *(*)(const ParametresMoteur &parametres,
                                                    const TablesReference &tables,
                                                    const ReglagesEmcf &reglages, std::ostream &console);
