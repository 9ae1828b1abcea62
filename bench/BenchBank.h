#pragma once
// The benchmarks' bank: a synthetic bank of QBRX_BENCH_QUESTIONS questions
// (100,000 unless set) written as ROOT/QBRX.db. A benchmark that wants a
// history names its size, which QBRX_BENCH_TESTS overrides; the others get
// the generator's own.

#include "BankSynth.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>

inline int benchQuestions() {
  const int n = qEnvironmentVariableIntValue("QBRX_BENCH_QUESTIONS");
  return n > 0 ? n : 100000;
}

inline void makeBenchBank(const QString &root, std::uint64_t seed, int tests = -1) {
  const int fromEnv = qEnvironmentVariableIntValue("QBRX_BENCH_TESTS");
  SynthesizeBank(root + QStringLiteral("QBRX.db"), benchQuestions(), seed, tests >= 0 && fromEnv > 0 ? fromEnv : tests);
}
