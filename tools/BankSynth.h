#pragma once
#include <QString>
#include <cstdint>

// Writes a deterministic synthetic bank of `questions` sub-questions to
// `out`: two or more subjects with chapters and sections in proportion, every
// question type with options and explanations, case questions, some
// favourites and test records. The same seed gives the same file content.
void SynthesizeBank(const QString &out, int questions, std::uint64_t seed = 1);
