// Fuzz driver for libunrar's C interface (run under the sanitizers by
// scripts/asan-rar.sh): damaged and hostile archives from RarFuzz, each
// listed, tested and extracted. Fails when anything appears outside the
// destination folder or a link appears inside it.
//
//   fuzz_unrar WORKDIR [CASES] [SEED]

#include "RarFuzz.h"
#include "qbrx_unrar.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

int passwordCallback(unsigned msg, intptr_t, intptr_t p1, intptr_t p2) {
  if (msg == UCM_NEEDPASSWORD && p2 > 1) {
    char *buf = reinterpret_cast<char *>(p1);
    buf[0] = 'x';
    buf[1] = 0;
  }
  return 0;
}

void runPass(const std::string &archive, unsigned mode, int operation, const std::string &dest, bool flat) {
  static char comment[4096];
  RAROpenArchiveDataEx data = {};
  data.ArcName = archive.c_str();
  data.OpenMode = mode;
  data.CmtBuf = comment;
  data.CmtBufSize = sizeof comment;
  data.Callback = passwordCallback;
  HANDLE_RAR h = RAROpenArchiveEx(&data);
  if (!h)
    return;
  static RARHeaderDataEx header;
  for (int guard = 0; guard < 100000 && RARReadHeaderEx(h, &header) == 0; ++guard) {
    std::string name = header.FileName;
    const size_t slash = name.rfind('/');
    const std::string flatName = dest + "/" + (slash == std::string::npos ? name : name.substr(slash + 1));
    if (RARProcessFile(h, operation, dest.c_str(), flat && operation == RAR_EXTRACT ? flatName.c_str() : nullptr) != 0)
      break;
  }
  RARCloseArchive(h);
}

void runOldPass(const std::string &archive) {
  RAROpenArchiveData data = {};
  data.ArcName = archive.c_str();
  data.OpenMode = RAR_OM_LIST;
  HANDLE_RAR h = RAROpenArchive(&data);
  if (!h)
    return;
  RARHeaderData header;
  for (int guard = 0; guard < 100000 && RARReadHeader(h, &header) == 0; ++guard)
    if (RARProcessFile(h, RAR_SKIP, nullptr, nullptr) != 0)
      break;
  RARCloseArchive(h);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_unrar WORKDIR [CASES] [SEED]\n");
    return 2;
  }
  const fs::path work = fs::absolute(argv[1]);
  const int cases = argc > 2 ? std::atoi(argv[2]) : 2000;
  const unsigned seed = argc > 3 ? unsigned(std::atoi(argv[3])) : 20261210u;
  const fs::path sandbox = work / "sandbox";
  const fs::path dest = sandbox / "dest";
  const std::string archive = (work / "case.rar").string();
  fs::remove_all(sandbox);
  std::mt19937 rng(seed);
  int extracted = 0;
  for (int i = 0; i < cases; ++i) {
    const std::string bytes = RarFuzz::makeCase(rng, sandbox.string());
    std::ofstream(archive, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    fs::remove_all(dest);
    fs::create_directories(dest);
    runOldPass(archive);
    runPass(archive, RAR_OM_LIST, RAR_SKIP, dest.string(), false);
    runPass(archive, RAR_OM_EXTRACT, RAR_TEST, dest.string(), false);
    runPass(archive, RAR_OM_EXTRACT, RAR_EXTRACT, dest.string(), i % 2 == 1);
    for (const auto &entry : fs::recursive_directory_iterator(sandbox)) {
      const fs::path rel = entry.path().lexically_relative(sandbox);
      if (*rel.begin() != "dest" || entry.is_symlink()) {
        std::fprintf(stderr, "case %d: %s\n", i, entry.path().c_str());
        return 1;
      }
      if (entry.is_regular_file())
        ++extracted;
    }
  }
  std::printf("fuzz_unrar: %d cases, %d files extracted, nothing outside the destination\n", cases, extracted);
  return 0;
}
