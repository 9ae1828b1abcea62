#pragma once
// Damaged and hostile archives for the fuzz runs: built by RarWriter from
// random entries (names of "..", "/", "\", drive letters, Chinese; folders,
// links, encrypted flags, wrong CRCs), then often mutated byte-wise (flips,
// cuts, inserted bytes). Deterministic for a given generator state. Plain C++.

#include <random>
#include <string>

namespace RarFuzz {

// One archive. `absoluteBase` is an absolute folder outside the destination:
// absolute names point below it, so a wrongly honoured one shows up there.
std::string makeCase(std::mt19937 &rng, const std::string &absoluteBase);

} // namespace RarFuzz
