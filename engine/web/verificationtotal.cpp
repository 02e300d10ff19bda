#include "verificationtotal.h"

#include <cmath>

double ecartPermis(double tolerance, double sommeQuantites)
{
    return tolerance != 0 ? tolerance : sommeQuantites / 2;
}

bool totalAcceptable(double totalService, double totalFacture, double tolerance, double sommeQuantites)
{
    return std::abs(totalService - totalFacture) <= ecartPermis(tolerance, sommeQuantites);
}
