#include "moduleemcf.h"
#include "clientemcf.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT CheminCertification *orvaneCreerCheminEmcf(const ParametresMoteur &parametres,
                                                                    const TablesReference &tables,
                                                                    const ReglagesEmcf &reglages,
                                                                    std::ostream &console)
{
    return new ClientEmcf(parametres, tables, reglages, console);
}

// The engine resolves the function by name; this keeps its type the one the engine calls.
static_assert(std::is_same_v<decltype(&orvaneCreerCheminEmcf), FabriqueCheminEmcf>);
