#pragma once
#include <QString>
#include <cstdint>

// Writes a deterministic synthetic bank of `questions` sub-questions to
// `out`: two or more subjects with chapters and sections in proportion, every
// question type with options and explanations, case questions, some
// favourites and test records. The same seed gives the same file content.
// With `tests` >= 0 the test records are a learner's realistic history of
// that many stored tests (every stored kind, chapter tests repeating section
// names, wrong answers in stand-alone and case sub-questions, favourites
// papers, redone records) instead of one plain record per thousand questions.
void SynthesizeBank(const QString &out, int questions, std::uint64_t seed = 1, int tests = -1);
