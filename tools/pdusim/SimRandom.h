#pragma once

#include <QtGlobal>

// splitmix64: eight bytes of state per user (thousands of devices each keep their own), and a good
// enough spread for readings and dropped replies. Returns a value in [0, 1).
inline double simRandom(quint64& uiState)
{
    quint64 z = (uiState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return double(z >> 11) / double(1ull << 53);
}
