// Throughput of the float formatter on model-like values: prints ns per value
// for each precision the output files use. Processor time, not wall time, so a
// busy machine does not inflate the figure.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "io/float_format.h"

int main(int argc, char** argv) {
  long count = argc > 1 ? std::atol(argv[1]) : 10000000;
  // Positions, normals, weights and angles: magnitudes 2^-20 to 2^12, both signs.
  std::vector<float> values(1 << 16);
  std::mt19937 random(1);
  for (float& value : values) {
    uint32_t bits = (random() & 0x807fffff) | (127 - 20 + random() % 33) << 23;
    std::memcpy(&value, &bits, sizeof value);
  }
  for (int precision : {6, 0, 2, 3}) {
    char buffer[kMaxFormattedFloat];
    size_t checksum = 0;
    std::clock_t start = std::clock();
    for (long i = 0; i < count; ++i) {
      checksum += FormatFloat(buffer, values[static_cast<size_t>(i) & (values.size() - 1)], precision);
      checksum += static_cast<unsigned char>(buffer[0]);
    }
    double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("precision %d: %.1f ns/value (%ld values, checksum %zu)\n", precision, seconds * 1e9 / count, count,
                checksum);
  }
  return 0;
}
