// rootix_stress_reference: the stability test's reference, the hash of every block of 2^20
// correct results of tests 1 to 12, computed one number at a time with the scalar procedure.
//
//   rootix_stress_reference [--first-block=N] [--blocks=N]      check the committed table
//   rootix_stress_reference --write=PATH                        write the whole table anew
//
// Exit status: 0 the table matches (or was written), 1 blocks differ, 2 bad arguments or an
// unwritable file.

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/stress_reference.h"

namespace {

using rootix::engine::kStressBlocks;

bool readWhole(std::string_view text, int& value) {
  if (text.empty() || text.size() > 5) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

int usage(const char* message) {
  std::fprintf(stderr,
               "%s\nusage: rootix_stress_reference [--first-block=N] [--blocks=N] | --write=PATH\n"
               "blocks are 0 .. %d\n",
               message, kStressBlocks - 1);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 0;
  int count = kStressBlocks;
  std::string writePath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--first-block=")) {
      if (!readWhole(arg.substr(14), first)) return usage("--first-block= takes a whole number");
    } else if (arg.starts_with("--blocks=")) {
      if (!readWhole(arg.substr(9), count)) return usage("--blocks= takes a whole number");
    } else if (arg.starts_with("--write=") && arg.size() > 8) {
      writePath = std::string(arg.substr(8));
    } else {
      return usage("unknown argument");
    }
  }
  if (!writePath.empty()) {
    first = 0;
    count = kStressBlocks;
  }
  if (first >= kStressBlocks || count > kStressBlocks - first) return usage("the blocks must end at 2048 at most");

  FILE* out = nullptr;
  if (!writePath.empty()) {
    out = std::fopen(writePath.c_str(), "w");
    if (out == nullptr) {
      std::perror(writePath.c_str());
      return 2;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  int differences = 0;
  for (int block = first; block < first + count; ++block) {
    const std::uint64_t hash = rootix::engine::scalarBlockHash(block);
    if (out != nullptr) {
      std::fprintf(out, "0x%016" PRIX64 "ull,\n", hash);
    } else if (hash != rootix::engine::stressReference(block)) {
      ++differences;
      std::printf("block %d: computed 0x%016" PRIX64 ", table 0x%016" PRIX64 "\n", block, hash,
                  rootix::engine::stressReference(block));
    }
    if ((block + 1) % 128 == 0) {
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("  block %d of %d, %.1f s\n", block + 1 - first, count, elapsed);
      std::fflush(stdout);
    }
  }
  if (out != nullptr) {
    if (std::fclose(out) != 0) {
      std::perror(writePath.c_str());
      return 2;
    }
    std::printf("Wrote %d block hashes to %s\n", count, writePath.c_str());
    return 0;
  }
  std::printf("%s: %d of %d blocks differ from the table (blocks %d .. %d)\n", differences == 0 ? "PASS" : "FAIL",
              differences, count, first, first + count - 1);
  return differences == 0 ? 0 : 1;
}
