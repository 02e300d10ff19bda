#pragma once

// Bounds of the tests' waits. A wait that ends on its event (a program's end, a reply, a line of
// output) is bounded only against a fault, by a bound that nothing else exhausts; a wait handed to
// a program as its own time limit is stretched alike where everything runs slower (the sanitizers,
// Wine), by the factor the build gives (cmake/OrvaneTest.cmake).

#ifndef ORVANE_FACTEUR_ATTENTE
#define ORVANE_FACTEUR_ATTENTE 1
#endif

inline constexpr int facteurAttente = ORVANE_FACTEUR_ATTENTE;

// `ms` stretched by the build's factor.
constexpr int attenteMs(int ms)
{
    return ms * facteurAttente;
}

// The bound of a wait that ends on its event: only a fault exhausts it.
inline constexpr int attenteFauteMs = attenteMs(120000);
