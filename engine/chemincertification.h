#pragma once

#include <resultatfiscal.h>

#include <QList>
#include <QString>

#include <optional>

struct Invoice;
struct LigneJournal;
class JournalCertification;

// One way of certifying the invoice of a run: the fiscal device on the serial port or the e-MCF
// web service. The run driver picks one; the engine object only sees this interface, so the engine
// core never depends on the device or web code. Every step that commits the device or the service
// is announced to the journal first.
class CheminCertification
{
public:
    virtual ~CheminCertification() = default;
    // Starts what certifying will need and sends nothing: called as soon as the run has claimed its
    // invoice, so that it goes on while the run reads what earlier runs left. The e-MCF path opens
    // its TLS connection; the device path has nothing to start (opening the port locks the device).
    virtual void preparer() {}
    // The identity of the device this run certifies on (its NIM), asked of it before anything is
    // committed; empty when it did not answer or the path has none to give. A register shared by
    // several tills finds a device's rows by it: every till may have a COM1.
    virtual QString identifier() { return {}; }
    // Settles invoices that earlier runs left open, paid or pending on this device or service,
    // reporting each one through `journal.regler`. A pending e-MCF invoice is confirmed only when
    // it is `facture` itself (same reference, same `empreinte`); anything else is cancelled or
    // closed as it stands.
    virtual void regler(const QList<LigneJournal> &enSuspens, const Invoice &facture,
                        const QString &empreinte, JournalCertification &journal) = 0;
    // Certifies `facture` and returns its fiscal result; nothing when it was not certified (the
    // path has said why on the console).
    virtual std::optional<ResultatFiscal> certifier(const Invoice &facture,
                                                    JournalCertification &journal) = 0;
};
