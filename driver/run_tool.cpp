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
#include "driver/arguments.h"
#include "driver/batch_run.h"
#include "driver/help_text.h"
#include "driver/model_load.h"
#include "model/conversion.h"
#include "driver/version.h"
#include "formats/layout.h"
#include "gltf/gltf_export.h"
#include "io/names.h"
#include "io/ordered_items.h"
#include "io/safe_names.h"
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

// A .glb is built whole in memory and then written like any output file:
// bad data abandons it with its messages, and it counts against the output
// limit. False when it was not written.
bool WriteGlbFile(Conversion& conv, const PlannedFile& planned, const Parallelism& parallel) {
  const std::string& fileName = planned.name;
  OutputLimit* limit = conv.to.limit;
  if (limit != nullptr && limit->reached) return false;
  const uint64_t room = limit == nullptr || limit->bytes == 0 ? 0
                        : limit->used < limit->bytes      ? limit->bytes - limit->used
                                                          : 1;
  const int32_t lod = planned.kind == OutputKind::LodGlb ? planned.lod : 0;
  GlbResult glb = BuildGlb(conv.model, conv.strip, std::string("Tamberlo ") + kToolVersion, room,
                           parallel.pool != nullptr ? parallel.threads : 1, &conv.geometry, lod);
  if (glb.outputLimitReached) {
    LogMessage(conv.to.sink, "Output limit reached (%s): %s; -max-output raises it\n",
               ByteSizeText(limit->bytes).c_str(), fileName.c_str());
    limit->reached = true;
    conv.to.hadErrors = true;
    return false;
  }
  for (const std::string& name : glb.changedNames) NoteNameChange(conv.to, conv.names, name);
  for (const std::string& message : glb.messages) EmitMessage(conv.to.sink, message);
  // Without bad data, every message is a note about a value replaced.
  if (glb.hadErrors) conv.to.hadErrors = true;
  else if (!glb.messages.empty()) conv.to.hadNotes = true;
  // A lower level whose meshes draw no triangle gives no file.
  if (glb.bytes.empty() || (lod > 0 && glb.meshNodes == 0)) return false;
  OutputFile out;
  if (!OpenOutputFileOrSay(conv.to, out, fileName)) return false;
  PutBytes(out, reinterpret_cast<const char*>(glb.bytes.data()), glb.bytes.size());
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

// Reads what the picture shows and the counts from the read layer's walk.
// Damaged geometry gives no picture and a "Bad data" line; a model with
// neither triangles nor bones gives no picture. The picture is a file item
// like the mesh files: drawn and encoded by a worker while the walk goes on,
// in its place among the files.
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
  if (planned == nullptr || (scene->lodZeroTriangles == 0 && scene->segments.empty())) return;
  OutputFile out;
  if (!OpenOutputFileOrSay(conv.to, out, planned->name)) return;
  WriteFileItem(conv, std::move(out), [scene, previewSize](Destination&, OutputFile& file) {
    const PreviewImage image = RenderPreview(scene->Scene(), previewSize);
    if (image.width == 0) {  // no corner or end was finite
      AbandonOutputFile(file);
      return;
    }
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
               static_cast<long long>(modelSize), modelPath);
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

// -h, -help or --help (any letter case) as an option of its own, not as the
// value of another option.
bool AsksFor(int argc, char** argv, std::initializer_list<const char*> names) {
  for (int i = 1; i < argc; ++i) {
    for (const char* name : names) {
      if (::strcasecmp(argv[i], name) == 0) return true;
    }
    for (const char* takesValue : {"-file", "-out", "-jobs", "-max-output", "-format", "-preview-size"}) {
      if (::strcasecmp(argv[i], takesValue) == 0) {
        ++i;
        break;
      }
    }
  }
  return false;
}

}  // namespace

int RunTamberlo(int argc, char** argv) {
  if (AsksFor(argc, argv, {"-h", "-help", "--help"})) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitNotLoaded;
  }
  if (AsksFor(argc, argv, {"--version"})) {
    std::fputs(VersionText().c_str(), stdout);
    return kExitNotLoaded;
  }
  if (IsBatchCommand(argc, argv)) return RunBatchCommand(argc, argv);
  char* name = FindArgument(argc, argv, "-file", nullptr);
  const char* outPath = FindArgument(argc, argv, "-out", nullptr);
  const char* jobsText = FindArgument(argc, argv, "-jobs", nullptr);
  const char* limitText = FindArgument(argc, argv, "-max-output", nullptr);
  const char* formatText = FindArgument(argc, argv, "-format", nullptr);
  const char* previewSizeText = FindArgument(argc, argv, "-preview-size", nullptr);
  OutputChoice outputs;
  outputs.previewSize = HasOption(argc, argv, "-preview") ? kDefaultPreviewSize : 0;

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
  OutputLimit limit{kDefaultOutputLimit};
  Destination to{&folder, MessageSink{&channel, nullptr}, false, &limit};

  int status;
  int jobs = jobsText == nullptr ? AvailableProcessors() : ParseJobs(jobsText);
  if (name == nullptr) {
    PrintUsage(to.sink);
    status = kExitNotLoaded;
  } else if (jobs == 0) {
    LogMessage(to.sink, "-jobs takes a whole number from 1 to 1024, not \"%s\"\n", jobsText);
    status = kExitUsage;
  } else if (limitText != nullptr && !ParseByteSize(limitText, limit.bytes)) {
    LogMessage(to.sink, "-max-output takes a size in bytes with an optional K, M or G (0: no limit), not \"%s\"\n",
               limitText);
    status = kExitUsage;
  } else if (formatText != nullptr && !ParseOutputFormat(formatText, outputs.format)) {
    LogMessage(to.sink, "-format takes smd, gltf or all, not \"%s\"\n", formatText);
    status = kExitUsage;
  } else if (previewSizeText != nullptr && (outputs.previewSize = ParsePreviewSize(previewSizeText)) == 0) {
    LogMessage(to.sink, "-preview-size takes a whole number from 16 to 4096, not \"%s\"\n", previewSizeText);
    status = kExitUsage;
  } else {
    status = RunInFolder(name, to, jobs, outputs);
  }
  // A log that was refused or not written completely ends the run with errors.
  if (channel.failed && status != kExitUsage) status = kExitDoneWithErrors;
  CloseLogChannel(channel);
  CloseOutputFolder(folder);
  return status;
}
