#include "verificationtotal.h"

#include <reglesmcf.h>

#include <cmath>

bool totalAcceptable(double totalService, double totalFacture, double tolerance, double sommeQuantites)
{
    return std::abs(totalService - totalFacture) <= ecartPermisEmcf(tolerance, sommeQuantites);
}
