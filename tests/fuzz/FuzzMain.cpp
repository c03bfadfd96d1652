// Runs a fuzz target without libFuzzer, for CTest and for replaying a finding: every
// file named on the command line once, every file of a folder named there (a seed
// folder, a corpus), and with --generated (or without any argument) a fixed set of
// pseudo-random inputs as well.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool runFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s cannot be read\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(buf.data(), buf.size());
  return true;
}

int runGenerated() {
  std::mt19937 rng(12345);
  int rounds = 0;
  for (; rounds < 2000; ++rounds) {
    std::vector<uint8_t> buf(rng() % 600);
    for (auto& b : buf) b = uint8_t(rng() % 4 ? rng() % 96 + 32 : rng());  // mostly text, some garbage
    LLVMFuzzerTestOneInput(buf.data(), buf.size());
  }
  return rounds;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  bool generated = argc == 1;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--generated") == 0) {
      generated = true;
      continue;
    }
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      std::vector<fs::path> inputs;
      for (const auto& entry : fs::directory_iterator(argv[i], ec))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      std::sort(inputs.begin(), inputs.end());  // the same order on every run
      for (const auto& path : inputs) files += runFile(path) ? 1 : 0;
    } else if (runFile(argv[i])) {
      ++files;
    } else {
      return 1;
    }
  }
  const int rounds = generated ? runGenerated() : 0;
  std::printf("fuzz inputs passed: %d files, %d generated\n", files, rounds);
  return 0;
}
