// Runs a fuzz target without libFuzzer: a fixed number of pseudo-random inputs
// (deterministic seed), biased towards printable text so that parsers get past
// their first checks. Used as a quick smoke test in every build.
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  const long runs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
  std::mt19937 rng(12345);
  const std::string alphabet =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ .,;:-+*/()@#$%=\t\r\n";
  for (long i = 0; i < runs; ++i) {
    const size_t size = rng() % (i % 100 == 0 ? 4096 : 256);
    std::string input(size, '\0');
    const bool binary = rng() % 4 == 0;
    for (char& c : input)
      c = binary ? static_cast<char>(rng() & 0xFF) : alphabet[rng() % alphabet.size()];
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  return 0;
}
