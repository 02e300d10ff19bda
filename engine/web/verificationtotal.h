#pragma once

// True when |totalService - totalFacture| does not exceed the e-MCF allowance (ecartPermisEmcf).
bool totalAcceptable(double totalService, double totalFacture, double tolerance, double sommeQuantites);
