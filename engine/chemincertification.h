#pragma once

#include "resultatfiscal.h"

#include <optional>

struct Invoice;

// One way of certifying the invoice of a run: the fiscal device on the serial port or the e-MCF
// web service. The run driver picks one; the engine object only sees this interface, so the engine
// core never depends on the device or web code.
class CheminCertification
{
public:
    virtual ~CheminCertification() = default;
    // Certifies `facture` and returns its fiscal result; nothing when it was not certified (the
    // path has already said why on the console).
    virtual std::optional<ResultatFiscal> certifier(const Invoice &facture) = 0;
};
