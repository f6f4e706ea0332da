// Times BuildGlb on a model held in memory:
//
//   glb_bench <model base name> [--runs N] [--smd]
//
// Loads <model>.mdl and <model>.dx80.vtx, builds the .glb N times (default 5)
// and prints the input and .glb sizes, the fastest and the median build time,
// (wall and processor time) and the process's peak resident memory after the builds, beside the memory
// target (input + .glb + 64 MB). With --smd it times the mesh and animation
// SMD writers instead, formatting into memory (nothing is written to disk),
// as the cost to compare with. Run the two in separate processes: the peak
// memory is the process's.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "smd/anim_export.h"
#include "formats/layout.h"
#include "gltf/gltf_export.h"
#include "io/work_pool.h"
#include "smd/mesh_export.h"

namespace {

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "glb_bench: cannot read %s\n", path.c_str());
    std::exit(1);
  }
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The process's processor time (user + system): less disturbed than the
// wall time by other work on a shared machine.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double PeakRssMiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: glb_bench <model base name> [--runs N] [--smd]\n");
    return 2;
  }
  int runs = 5;
  bool smd = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smd") == 0) {
      smd = true;
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "glb_bench: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  const std::string base = argv[1];
  const std::string modelPath = base + ".mdl", stripPath = base + ".dx80.vtx";
  const std::vector<unsigned char> mdl = ReadFile(modelPath);
  const std::vector<unsigned char> vtx = ReadFile(stripPath);
  const ByteView modelBytes{mdl.data(), static_cast<int64_t>(mdl.size()), modelPath.c_str()};
  const ModelLayout* layout = mdl.size() >= 8 ? LayoutForVersion(ReadModelVersion(modelBytes)) : nullptr;
  if (layout == nullptr) {
    std::fprintf(stderr, "glb_bench: %s is not a supported model\n", modelPath.c_str());
    return 1;
  }
  const ModelFile model{modelBytes, layout};
  const StripFile strip{ByteView{vtx.data(), static_cast<int64_t>(vtx.size()), stripPath.c_str()}};
  // The SMD writers format into memory for comparison; nothing is written.
  const OutputFolder memory = InMemoryFolder();
  LogChannel quiet{.toConsole = false, .toLogFile = false};
  Conversion conv{model, strip, Destination{&memory, MessageSink{&quiet, nullptr}, false}, nullptr, {}, {}, {}};

  // The calling thread and the pool's together take every processor.
  const int processors = AvailableProcessors();
  std::unique_ptr<WorkPool> pool = processors > 1 ? std::make_unique<WorkPool>(processors - 1) : nullptr;
  std::vector<double> seconds, cpuSeconds;
  size_t glbSize = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    if (smd) {
      ReadAndPlan(conv, PlanChoice{});
      ExportMeshes(conv);
      ExportAnimations(conv);
    } else {
      const GlbResult glb = BuildGlb(model, strip, "glb_bench", 0, pool.get());
      glbSize = static_cast<size_t>(glb.size);
      if (!glb.built || glb.hadErrors) {
        for (const std::string& message : glb.messages) std::fputs(message.c_str(), stderr);
        return 1;
      }
    }
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpuSeconds.push_back(CpuSeconds() - cpuStart);
  }
  std::sort(seconds.begin(), seconds.end());
  std::sort(cpuSeconds.begin(), cpuSeconds.end());
  constexpr double kMiB = 1024.0 * 1024.0;
  const double inputMiB = static_cast<double>(mdl.size() + vtx.size()) / kMiB;
  const double glbMiB = static_cast<double>(glbSize) / kMiB;
  std::printf("%s: %s, input %.1f MiB", base.c_str(), smd ? "SMD writers into memory" : "BuildGlb", inputMiB);
  if (!smd) std::printf(", glb %.1f MiB", glbMiB);
  std::printf("\n  wall: fastest %.3f s, median %.3f s; cpu: fastest %.3f s, median %.3f s (%d runs)\n",
              seconds.front(), seconds[seconds.size() / 2], cpuSeconds.front(), cpuSeconds[cpuSeconds.size() / 2],
              runs);
  std::printf("  peak RSS %.1f MiB", PeakRssMiB());
  if (!smd) std::printf(" (target: input + glb + 64 MiB = %.1f MiB)", inputMiB + glbMiB + 64.0);
  std::printf("\n");
  return 0;
}
