#pragma once

// The largest accepted absolute difference between the service's total and the invoice's own total:
// the configured tolerance when it is not 0, otherwise 0.5 per unit of quantity invoiced.
double ecartPermis(double tolerance, double sommeQuantites);

// True when |totalService - totalFacture| does not exceed the allowance.
bool totalAcceptable(double totalService, double totalFacture, double tolerance, double sommeQuantites);
