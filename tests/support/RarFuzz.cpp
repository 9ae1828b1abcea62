#include "RarFuzz.h"
#include "RarWriter.h"

namespace RarFuzz {
namespace {

int pick(std::mt19937 &rng, int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

std::string randomName(std::mt19937 &rng, const std::string &absoluteBase) {
  static const char *const parts[] = {"a", "b.txt", "..", ".", "", "中文", "\xd6\xd0", "C:", "x y", "..."};
  static const char *const seps[] = {"/", "\\"};
  std::string name;
  if (pick(rng, 2)) { // a plain name, often in a folder
    static const char *const plain[] = {"a.txt", "资料/b.txt", "c/d/e.bin", "\xd6\xd0.txt", "f"};
    return plain[pick(rng, 5)];
  }
  const int kind = pick(rng, 10);
  if (kind == 0)
    name = absoluteBase + "/";
  else if (kind == 1)
    name = "C:\\";
  const int count = 1 + pick(rng, 4);
  for (int i = 0; i < count; ++i) {
    if (i > 0)
      name += seps[pick(rng, 2)];
    name += parts[pick(rng, 10)];
  }
  return name;
}

void mutate(std::mt19937 &rng, std::string &bytes) {
  const int rounds = 1 + pick(rng, 4);
  for (int r = 0; r < rounds && !bytes.empty(); ++r) {
    const size_t at = size_t(pick(rng, int(bytes.size())));
    switch (pick(rng, 5)) {
    case 0:
      bytes[at] = char(bytes[at] ^ (1 << pick(rng, 8)));
      break;
    case 1:
      bytes[at] = char(pick(rng, 256));
      break;
    case 2:
      bytes.resize(at);
      break;
    case 3:
      bytes.insert(at, size_t(1 + pick(rng, 8)), char(pick(rng, 256)));
      break;
    default:
      bytes.erase(at, size_t(1 + pick(rng, 8)));
      break;
    }
  }
}

} // namespace

std::string makeCase(std::mt19937 &rng, const std::string &absoluteBase) {
  // Times and file versions come from a generator of their own (seeded from
  // rng without advancing it), so the cases drawn from rng stay as they were.
  std::mt19937 side(std::mt19937(rng)() ^ 0x5bd1e995u);
  RarWriter::Archive a;
  a.version = pick(rng, 2) ? 5 : 4;
  a.solid = pick(rng, 8) == 0;
  a.locked = pick(rng, 4) == 0;
  if (pick(rng, 4) == 0)
    a.comment = "注释 comment";
  const int entries = 1 + pick(rng, 4);
  for (int i = 0; i < entries; ++i) {
    RarWriter::Entry e;
    e.name = randomName(rng, absoluteBase);
    e.unicode = a.version == 4 && pick(rng, 2);
    e.dir = pick(rng, 5) == 0;
    e.data = std::string(size_t(pick(rng, 300)), char('a' + i));
    e.badCrc = pick(rng, 10) == 0;
    e.encrypted = pick(rng, 12) == 0;
    e.hostOS = pick(rng, 3) == 0 ? 3 : 2;
    e.attr = pick(rng, 4) == 0 ? 0x21 : 0x20;
    const int link = pick(rng, 12);
    if (link < 3) {
      e.link = a.version == 4 ? RarWriter::Link::Symlink : RarWriter::Link(link + 1);
      e.linkTarget = pick(rng, 2) ? "../../etc" : absoluteBase;
    }
    e.exactTime = pick(side, 4) == 0;
    e.timeFraction = uint32_t(pick(side, 10000000));
    e.noTime = a.version == 5 && pick(side, 8) == 0;
    e.version = a.version == 5 && pick(side, 6) == 0 ? unsigned(1 + pick(side, 3)) : 0u;
    a.entries.push_back(e);
  }
  std::string bytes = RarWriter::build(a);
  if (pick(rng, 2) != 0)
    mutate(rng, bytes);
  return bytes;
}

} // namespace RarFuzz
