// Runs the whole tool on a (model, strip) pair taken from the fuzz input:
// 4 bytes little-endian model size, the model bytes, the strip bytes. Output
// files are formatted into memory and discarded; messages go nowhere.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "anim/anim_export.h"
#include "driver/run_tool.h"
#include "formats/model_records.h"

namespace {

// An animation is a "time" line and a line per bone for every frame, and the
// tool accepts up to 1,000,000 frames, so a small input may rightly ask for
// tens of millions of lines: work in proportion to what the file asks for, but far more than a
// fuzzing run should spend on one input. The decoding of frame k does not
// depend on how many frames follow it, so inputs whose animations ask for more
// than this many lines in all are left out; the frame limit itself is covered
// by the tests.
constexpr int64_t kMaxAnimationLinesPerInput = 200000;

bool AsksForLongAnimations(const std::vector<uint8_t>& modelBytes) {
  ByteView view{modelBytes.data(), static_cast<int64_t>(modelBytes.size()), "fuzz.mdl"};
  if (view.size < 8) return false;
  const ModelLayout* layout = LayoutForVersion(ReadModelVersion(view));
  if (layout == nullptr) return false;
  ModelFile model{view, layout};
  try {
    const ModelHeader header = ReadModelHeader(model);
    if (header.animDescCount <= 0) return false;
    const int64_t linesPerFrame = 1 + (header.boneCount > 0 ? header.boneCount : 0);
    CheckTable(view, header.animDescOffset, header.animDescCount, kAnimDescRecordSize, "animations");
    int64_t lines = 0;
    for (int32_t i = 0; i < header.animDescCount; ++i) {
      const int32_t frames = ReadAnimDesc(model, header, i).frameCount;
      if (frames > 0 && frames <= kMaxAnimationFrames) lines += frames * linesPerFrame;
      if (lines > kMaxAnimationLinesPerInput) return true;
    }
  } catch (const FormatError&) {
    // The tool reports it; nothing long gets written.
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const OutputFolder memory = InMemoryFolder();
  if (size < 4) return 0;
  uint32_t modelSize = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                       (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  size_t rest = size - 4;
  if (modelSize > rest) modelSize = static_cast<uint32_t>(rest);
  // Copies, so that the sanitizer sees the exact bounds of each image.
  std::vector<uint8_t> model(data + 4, data + 4 + modelSize);
  std::vector<uint8_t> strip(data + 4 + modelSize, data + size);
  if (AsksForLongAnimations(model)) return -1;  // not added to the corpus
  LogChannel quiet{.toConsole = false, .toLogFile = false};
  Destination to{&memory, MessageSink{&quiet, nullptr}, false};
  ConvertImages(model.data(), static_cast<int64_t>(model.size()), "fuzz.mdl", strip.data(),
                static_cast<int64_t>(strip.size()), "fuzz.dx80.vtx", to, nullptr, 1);
  return 0;
}
