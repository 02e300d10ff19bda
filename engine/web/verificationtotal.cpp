#include "verificationtotal.h"

#include <reglesmcf.h>

#include <cmath>

double ecartPermis(double tolerance, double sommeQuantites)
{
    return ecartPermisEmcf(tolerance, sommeQuantites);
}

bool totalAcceptable(double totalService, double totalFacture, double tolerance, double sommeQuantites)
{
    return std::abs(totalService - totalFacture) <= ecartPermis(tolerance, sommeQuantites);
}
