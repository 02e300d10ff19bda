#pragma once

#include "resultatlu.h"

#include <QString>
#include <QStringList>

#include <optional>

// Whether the printed invoice is certified. Only a result file of this very invoice that carries a
// QR code, a fiscal code and a NIM certifies it. The engine's demonstration result (port "DEMO")
// contacted no device: it is printed with its fiscal block but marked as a demonstration.
enum class Certification { Certifiee, Demonstration, NonCertifiee };

struct EtatFiscal
{
    Certification certification = Certification::NonCertifiee;
    QString raison; // why the invoice is not certified, for the console; empty when it is
};

// `resultat`: the result file as read, nothing when there was none to read. `reference`: the
// invoice's reference, which the result file must name.
EtatFiscal etatFiscal(const std::optional<ResultatLu> &resultat, const QString &reference);

// What an invoice that is not certified carries, large, at the head of every A4 page and on the
// ticket: the lines of its mark ("FACTURE NON CERTIFIEE", preceded by "DEMONSTRATION" for the
// demonstration result), and a sentence that says what is missing. Empty for a certified invoice.
struct Mention
{
    QStringList lignes;
    QString explication;

    bool vide() const { return lignes.isEmpty(); }
    // The mark on one line: "DEMONSTRATION - FACTURE NON CERTIFIEE".
    QString enUneLigne() const { return lignes.join(QStringLiteral(" - ")); }
};

Mention mention(Certification certification);

// The console line of an invoice printed with a mark (plain ASCII French, like the other lines of
// the renderer); empty for a certified invoice.
QString ligneConsole(const EtatFiscal &etat);
