#pragma once
// Small helpers for papers in tests: a paper from sub-question numbers and
// the numbers back, in paper order.

#include "app/PaperState.h"

#include <vector>

inline std::vector<TXiaoTi> paperOf(const std::vector<int> &numbers) {
  std::vector<TXiaoTi> out;
  out.reserve(numbers.size());
  for (int n : numbers)
    out.push_back(TXiaoTi{n});
  return out;
}

inline std::vector<int> numbers(const std::vector<TXiaoTi> &paper) {
  std::vector<int> out;
  out.reserve(paper.size());
  for (const TXiaoTi &x : paper)
    out.push_back(x.XiaoTiHao);
  return out;
}
