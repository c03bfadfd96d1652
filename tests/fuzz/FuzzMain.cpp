// Runs a fuzz target without libFuzzer: each file named on the command line once,
// or, with none, a fixed set of pseudo-random inputs so the target runs in CTest.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) {
      std::ifstream in(argv[i], std::ios::binary);
      std::vector<uint8_t> buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    return 0;
  }
  std::mt19937 rng(12345);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> buf(rng() % 600);
    for (auto& b : buf) b = uint8_t(rng() % 4 ? rng() % 96 + 32 : rng());  // mostly text, some garbage
    LLVMFuzzerTestOneInput(buf.data(), buf.size());
  }
  std::puts("fuzz seeds passed");
  return 0;
}
