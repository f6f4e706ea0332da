#include "driver/run_tool.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

#include "smd/anim_export.h"
#include "driver/batch_run.h"
#include "driver/convert_command.h"
#include "driver/first_version_line.h"
#include "driver/help_text.h"
#include "driver/model_load.h"
#include "model/conversion.h"
#include "driver/version.h"
#include "formats/layout.h"
#include "gltf/gltf_export.h"
#include "io/names.h"
#include "io/ordered_items.h"
#include "io/safe_names.h"
#include "io/shown_name.h"
#include "io/work_pool.h"
#include "mathlib/math_startup.h"
#include "smd/mesh_export.h"
#include "preview/model_scene.h"
#include "script/build_script.h"

namespace {

// The tables are filled once, before the first conversion, and only read after.
void StartMathOnce() {
  static std::once_flag once;
  std::call_once(once, [] { MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1); });
}

// "<base name>.glb": the model file's name without its folders and extension.
std::string GlbName(std::string_view modelPath) {
  std::string_view name = modelPath.substr(modelPath.find_last_of('/') + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name) + ".glb";
}

// The planned file of a kind that is written once, or nullptr.
const PlannedFile* PlannedFileOf(const OutputPlan& plan, OutputKind kind) {
  for (const PlannedFile& file : plan.files) {
    if (file.kind == kind) return &file;
  }
  return nullptr;
}

// A .glb is written into its file as it is built: bad data abandons the
// file with its messages, and it counts against the output limit. When the
// file cannot be created, it is built without one so that its messages are
// the same, and "Can't open" follows them when it would have been written.
// False when it was not written.
bool WriteGlbFile(Conversion& conv, const PlannedFile& planned, const Parallelism& parallel) {
  const std::string& fileName = planned.name;
  if (conv.to.limit != nullptr && conv.to.limit->reached) return false;
  const uint64_t room = OutputRoom(conv.to);
  const int32_t lod = planned.kind == OutputKind::LodGlb ? planned.lod : 0;
  OutputFile out;
  const OpenResult opened = OpenOutputFile(conv.to, out, fileName);
  if (opened == OpenResult::UnsafeName || opened == OpenResult::LimitReached) return false;
  std::string unwritten;
  if (opened == OpenResult::CannotCreate) OpenOutputToString(out, unwritten);
  GlbResult glb = BuildGlb(conv.model, conv.strip, std::string("Tamberlo ") + kToolVersion, room, parallel.pool,
                           &conv.geometry, lod, &out);
  if (glb.outputLimitReached) {
    AbandonOutputFile(out);
    ReachOutputLimit(conv.to, fileName);
    return false;
  }
  for (const std::string& name : glb.changedNames) NoteNameChange(conv.to, conv.names, name);
  for (const std::string& message : glb.messages) EmitMessage(conv.to.sink, message);
  // Without bad data, every message is a note about a value replaced.
  if (glb.hadErrors) conv.to.hadErrors = true;
  else if (!glb.messages.empty()) conv.to.hadNotes = true;
  // A lower level whose meshes draw no triangle gives no file.
  if (!glb.built || (lod > 0 && glb.meshNodes == 0)) {
    AbandonOutputFile(out);
    return false;
  }
  if (opened == OpenResult::CannotCreate) {
    LogCannotOpen(conv.to, fileName);  // the exit status stays as it is
    return false;
  }
  return CloseOutputFile(conv.to, out);
}

// The main .glb, then the file of each lower level of detail. A main file
// that was not written takes the others with it: they would repeat its
// messages.
void WriteGlbFiles(Conversion& conv, const Parallelism& parallel) {
  bool mainWritten = false;
  for (const PlannedFile& file : conv.plan.files) {
    if (file.kind == OutputKind::Glb) mainWritten = WriteGlbFile(conv, file, parallel);
    if (file.kind == OutputKind::LodGlb && mainWritten) WriteGlbFile(conv, file, parallel);
  }
}

// The counts of the model's tables that lie in the file; -1 for the others.
void CountModel(const Conversion& conv, int64_t lodZeroTriangles, ModelCounts& counts) {
  const ModelFile& model = conv.model;
  ModelHeader header;
  try {
    header = ReadModelHeader(model);
  } catch (const FormatError&) {
    return;
  }
  auto tableCount = [&model](int64_t offset, int32_t count, int64_t recordSize, const char* field) -> int64_t {
    try {
      CheckTable(model.bytes, offset, count, recordSize, field);
      return count > 0 ? count : 0;
    } catch (const FormatError&) {
      return -1;
    }
  };
  counts.bones = tableCount(header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  counts.animations = tableCount(header.animDescOffset, header.animDescCount, kAnimDescRecordSize, "animation table");
  counts.lodZeroTriangles = lodZeroTriangles;
  counts.subModels = -1;
  if (conv.geometry.error) return;
  int64_t subModels = 0;
  for (const BodyPartGeometry& bodyPart : conv.geometry.bodyParts) {
    const int32_t count = bodyPart.record.modelCount;
    subModels += count > 0 ? count : 0;
  }
  counts.subModels = subModels;
}

// What the picture leaves out or draws in place of surfaces, a line each.
void SayHowThePictureWasDrawn(Destination& to, const std::string& name, const PreviewImage& image) {
  const auto count = [](int64_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
  };
  if (image.pointsOutOfFrame > 0)
    LogMessage(to.sink, "%s: %s far from the rest of the model left out of the frame\n", name.c_str(),
               image.drawnAsBones ? count(image.pointsOutOfFrame, "bone end", "bone ends").c_str()
                                  : count(image.pointsOutOfFrame, "vertex", "vertices").c_str());
  if (image.drawnAsEdges)
    LogMessage(to.sink, "%s: the triangles show no area: drawn as edges\n", name.c_str());
  // The drawing's work is bounded by the picture's area; what did not fit
  // is said, and the picture keeps what was drawn.
  if (image.trianglesLeftOut > 0)
    LogMessage(to.sink, "%s: %s left out: the picture's work budget was spent\n", name.c_str(),
               count(image.trianglesLeftOut, "triangle", "triangles").c_str());
}

// Reads what the picture shows and the counts from the read layer's walk.
// Damaged geometry gives no picture and a "Bad data" line; a model with
// neither triangles nor bones, or none with finite coordinates, gives no
// picture and a line saying so. The picture is a file item like the mesh
// files: drawn and encoded by a worker while the walk goes on, in its place
// among the files.
void StartPreviewAndCounts(Conversion& conv, int previewSize, ModelCounts* counts) {
  auto scene = std::make_shared<ModelScene>();
  try {
    *scene = GatherModelScene(conv.model, conv.geometry, previewSize > 0);
  } catch (const FormatError& error) {
    if (counts != nullptr) CountModel(conv, -1, *counts);
    if (previewSize > 0) ReportBadData(conv.to, kPreviewFileName, error);
    return;
  }
  if (counts != nullptr) CountModel(conv, scene->lodZeroTriangles, *counts);
  const PlannedFile* planned = PlannedFileOf(conv.plan, OutputKind::Preview);
  if (planned == nullptr) return;
  if (scene->lodZeroTriangles == 0 && scene->segments.empty()) {
    LogMessage(conv.to.sink, "%s: nothing to draw: the model has no triangles and no bones\n", planned->name.c_str());
    return;
  }
  OutputFile out;
  if (!OpenOutputFileOrSay(conv.to, out, planned->name)) return;
  WriteFileItem(conv, std::move(out), [scene, previewSize](Destination& to, OutputFile& file) {
    const PreviewImage image = RenderPreview(scene->Scene(), previewSize);
    if (image.width == 0) {
      LogMessage(to.sink, "%s: nothing to draw: no triangle or bone has finite coordinates\n", file.name.c_str());
      AbandonOutputFile(file);
      return;
    }
    SayHowThePictureWasDrawn(to, file.name, image);
    const std::vector<unsigned char> png = EncodePng(image);
    PutBytes(file, reinterpret_cast<const char*>(png.data()), png.size());
  });
}

}  // namespace

bool ParseOutputFormat(const char* text, OutputFormat& format) {
  if (::strcasecmp(text, "smd") == 0) format = OutputFormat::Smd;
  else if (::strcasecmp(text, "gltf") == 0) format = OutputFormat::Gltf;
  else if (::strcasecmp(text, "all") == 0) format = OutputFormat::All;
  else return false;
  return true;
}

int ConvertImages(const unsigned char* modelData, int64_t modelSize, const char* modelPath,
                  const unsigned char* stripData, int64_t stripSize, const char* stripPath, Destination& to,
                  const Parallelism& parallel, const OutputChoice& outputs, ModelCounts* counts) {
  const OutputFormat format = outputs.format;
  StartMathOnce();
  ByteView modelBytes{modelData, modelSize, modelPath};
  if (modelSize < 8) {
    // No complete version field: refused like an unsupported version, but as damaged input.
    LogMessage(to.sink, "Model file too short to hold a version (%lld bytes): %s\n",
               static_cast<long long>(modelSize), ShownName(modelPath).c_str());
    return kExitDoneWithErrors;
  }
  int32_t version = ReadModelVersion(modelBytes);
  const ModelLayout* layout = LayoutForVersion(version);
  if (layout == nullptr) {
    LogMessage(to.sink, "Version %d is not supported\n", version);
    return to.hadErrors ? kExitDoneWithErrors : kExitDone;
  }
  LogMessage(to.sink, "%s", layout->familyLine);

  Conversion conv{ModelFile{modelBytes, layout}, StripFile{ByteView{stripData, stripSize, stripPath}}, to, nullptr, {}, {}, {}};
  // One reading of the model and one plan of its files, before any is written.
  PlanChoice choice;
  choice.smd = format != OutputFormat::Gltf;
  if (format != OutputFormat::Smd) choice.glbName = GlbName(modelPath);
  choice.preview = outputs.previewSize > 0;
  ReadAndPlan(conv, choice);
  std::unique_ptr<OrderedItems> items;
  if (parallel.pool != nullptr) {
    items = std::make_unique<OrderedItems>(conv.to, parallel);
    conv.items = items.get();
  }
  // No writer's result stops the next one. The writers report damaged input
  // per output item themselves; a FormatError that still reaches this level
  // ends only that writer.
  auto runWriter = [&conv](const char* what, auto&& writer) {
    try {
      writer();
    } catch (const FormatError& error) {
      ReportBadData(conv.to, what, error);
    }
  };
  const bool wantsScene = outputs.previewSize > 0 || counts != nullptr;
  if (format != OutputFormat::Gltf) {
    runWriter("dec.qc", [&] { WriteBuildScript(conv); });
    // The animation files start while the last mesh files are still being
    // written: the items keep their order whichever finishes first.
    runWriter("mesh export", [&] { ExportMeshes(conv); });
    if (wantsScene) StartPreviewAndCounts(conv, outputs.previewSize, counts);
    runWriter("animation export", [&] {
      ExportAnimations(conv);
      if (items) items->FinishAll();
    });
  }
  WriteGlbFiles(conv, parallel);
  if (format == OutputFormat::Gltf && wantsScene) {
    StartPreviewAndCounts(conv, outputs.previewSize, counts);
    if (items) items->FinishAll();
  }
  to = conv.to;
  // A changed name is a note, yet it ends the run with status 2 as it always has.
  return to.hadErrors || !conv.names.said.empty() ? kExitDoneWithErrors : kExitDone;
}

namespace {

// The run once the output folder and its log are open.
int RunInFolder(char* name, Destination& to, int jobs, const OutputChoice& outputs) {
  StripExtension(name);
  // The calling thread walks the model and helps the workers while it waits.
  std::unique_ptr<WorkPool> pool;
  if (jobs > 1) pool = std::make_unique<WorkPool>(jobs - 1);
  return LoadAndConvert(name, ".mdl", to, Parallelism{pool.get(), jobs}, nullptr, outputs);
}

}  // namespace

int RunTamberlo(int argc, char** argv) {
  // The conventional command line: a subcommand first.
  if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) return RunConvertCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "help") == 0) return RunHelpCommand(argc - 2, argv + 2);
  // The first version's: options anywhere, in any letter case.
  if (AsksFor(argc, argv, Option::Help)) {
    std::fputs(ShortHelpText().c_str(), stdout);
    return kExitNotLoaded;
  }
  if (AsksFor(argc, argv, Option::Version)) {
    std::fputs(VersionText().c_str(), stdout);
    return kExitNotLoaded;
  }
  // Said on standard error only: standard output and the log stay as they were.
  for (const std::string& line : UnknownOptionLines(argc, argv)) std::fprintf(stderr, "%s\n", line.c_str());
  if (IsBatchCommand(argc, argv)) return RunBatchCommand(argc, argv);
  const FirstVersionLine line = ReadFirstVersionLine(argc, argv);
  char* name = line.values[static_cast<size_t>(Option::File)];
  const char* outPath = line.values[static_cast<size_t>(Option::Out)];
  BatchOptions options;
  std::string valueError;
  const bool valuesRight = ApplyFirstVersionValues(
      line, {Option::Jobs, Option::MaxOutput, Option::Format, Option::PreviewSize}, options, valueError);

  OutputFolder folder;
  LogChannel channel;
  if (outPath != nullptr) {
    std::string error;
    if (!OpenNamedFolder(folder, outPath, error)) {
      std::fprintf(stdout, "Can't create the output folder: %s\n", error.c_str());
      return kExitUsage;
    }
  } else if (!OpenCurrentFolder(folder)) {
    // Without a descriptor nothing can be written below the folder; the
    // messages still reach the console.
    channel.toLogFile = false;
  }
  channel.folderFd = folder.fd;
  OutputLimit limit{options.maxOutput};
  Destination to{&folder, MessageSink{&channel, nullptr}, false, &limit};

  int status;
  if (name == nullptr) {
    PrintUsage(to.sink);
    status = kExitNotLoaded;
  } else if (!valuesRight) {
    LogMessage(to.sink, "%s\n", valueError.c_str());
    status = kExitUsage;
  } else {
    status = RunInFolder(name, to, options.jobs, OutputChoice{options.format, options.previewSize});
  }
  // A log that was refused or not written completely ends the run with errors.
  if (channel.failed && status != kExitUsage) status = kExitDoneWithErrors;
  CloseLogChannel(channel);
  CloseOutputFolder(folder);
  return status;
}
