#include "driver/option_table.h"

#include <algorithm>

#include "driver/arguments.h"
#include "driver/run_tool.h"

namespace {

bool SetOut(const char* value, BatchOptions& options) {
  if (value == nullptr || value[0] == '\0') return false;
  options.out = value;
  return true;
}

bool SetJobs(const char* value, BatchOptions& options) {
  options.jobs = ParseJobs(value);
  return options.jobs != 0;
}

bool SetMaxOutput(const char* value, BatchOptions& options) { return ParseByteSize(value, options.maxOutput); }

bool SetFormat(const char* value, BatchOptions& options) { return ParseOutputFormat(value, options.format); }

// Without a value the picture takes its default size.
bool SetPreview(const char* value, BatchOptions& options) {
  options.previewSize = value == nullptr ? kDefaultPreviewSize : ParsePreviewSize(value);
  return options.previewSize != 0;
}

bool SetPreviewSize(const char* value, BatchOptions& options) {
  options.previewSize = ParsePreviewSize(value);
  return options.previewSize != 0;
}

bool SetQuiet(const char*, BatchOptions& options) { return options.quiet = true; }

bool SetFollowLinks(const char*, BatchOptions& options) { return options.followLinks = true; }

// Options the command lines act on themselves.
bool TakenByTheCommandLine(const char*, BatchOptions&) { return true; }

const std::vector<OptionRow> kOptions = {
    {Option::File, {"-file"}, kFileLine, true, nullptr, 0, ValueUse::None, "NAME", "a model name",
     TakenByTheCommandLine, nullptr, nullptr, nullptr, "the model's base name; an extension is cut (car, car.mdl)"},
    {Option::Batch, {"-batch"}, kBatchLine, false, nullptr, 0, ValueUse::None, "PATH...", nullptr,
     TakenByTheCommandLine, nullptr, nullptr, nullptr,
     "models (with or without extension) and folders searched for .mdl files in any letter case; every argument "
     "up to the next option is a PATH"},
    {Option::Out, {"-out"}, kFileLine | kBatchLine, true, "out", 'o', ValueUse::Required, "DIR", "a folder name",
     SetOut, "write each model to DIR/NAME/",
     "write each model into DIR/NAME/, and a folder's models into DIR/ at their place below the folder "
     "(PATH/props/crate.mdl into DIR/props/crate/); DIR is made with its parents",
     "the current folder",
     "with -file: write into DIR, made with its parents (default: the current folder); with -batch: required, "
     "PATH/props/crate.mdl is written to DIR/props/crate/, a model named directly to DIR/<name>/; each folder "
     "holds its own streams.log"},
    {Option::Jobs, {"-jobs"}, kFileLine | kBatchLine, true, "jobs", 'j', ValueUse::Required, "N",
     "a whole number from 1 to 1024", SetJobs, "N models and files at once, 1 to 1024",
     "convert N models and their files at once, 1 to 1024; the output is the same for any N",
     "the processors available",
     "with -file: format files on N threads; with -batch: N models and their files at once; 1 to 1024, the "
     "output is the same for any N (default: the processors available)"},
    {Option::MaxOutput, {"-max-output"}, kFileLine | kBatchLine, true, "max-output", 0, ValueUse::Required, "SIZE",
     "a size in bytes with an optional K, M or G (0: no limit)", SetMaxOutput, "most bytes one model may write",
     "the most bytes one model's files may take in all: a whole number with an optional K, M or G; 0: no limit",
     "4G", "the most bytes one model's files may take in all; K, M or G, 0: no limit (default: 4G)"},
    {Option::Format, {"-format"}, kFileLine | kBatchLine, true, "format", 0, ValueUse::Required, "KIND",
     "smd, gltf or all", SetFormat, "smd, gltf (one .glb per model) or all",
     "the files written: smd (the build script dec.qc and SMD files), gltf (one NAME.glb) or all", "smd",
     "smd, gltf or all: the kind of mesh and animation files written (default: smd)"},
    {Option::Preview, {"-preview"}, kFileLine | kBatchLine, false, "preview", 0, ValueUse::Joined, "SIZE",
     "a whole number from 16 to 4096", SetPreview, "also draw preview.png, SIZE pixels square",
     "also write preview.png: the first level of detail of every sub-model in the reference pose (or the bones, "
     "for a model without triangles) seen from the front, the left and above; SIZE is its width and height in "
     "pixels, 16 to 4096",
     "256",
     "also write preview.png: the first level of detail of every sub-model in the reference pose (or the bones, "
     "for a model without triangles) seen from the front, the left and above, on a transparent background"},
    {Option::PreviewSize, {"-preview-size"}, kFileLine | kBatchLine, true, nullptr, 0, ValueUse::None, "N",
     "a whole number from 16 to 4096", SetPreviewSize, nullptr, nullptr, nullptr,
     "the picture's width and height in pixels, 16 to 4096 (default 256); implies -preview"},
    {Option::Quiet, {"-quiet"}, kBatchLine, false, "quiet", 'q', ValueUse::None, nullptr, nullptr, SetQuiet,
     "no model messages and no progress line",
     "say only problems: no model messages and no progress line on the console (streams.log still has them)",
     nullptr, "no progress line (there is none either when standard error is no terminal)"},
    {Option::FollowLinks, {"-follow-links"}, kBatchLine, false, "follow-links", 0, ValueUse::None, nullptr, nullptr,
     SetFollowLinks, "enter folder links too",
     "enter folder links too; a link back into the folders above it is skipped", nullptr,
     "enter folder links too; a link back into the current path is skipped"},
    {Option::Help, {"-h", "-help", "--help"}, kFileLine | kBatchLine, false, "help", 'h', ValueUse::None, nullptr,
     nullptr, TakenByTheCommandLine, "this text", "this text", nullptr, "the tool's help"},
    {Option::Version, {"--version"}, kFileLine | kBatchLine, false, "version", 0, ValueUse::None, nullptr, nullptr,
     TakenByTheCommandLine, "the version", "the tool's version", nullptr, "the version"},
};

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string_view WithoutDashes(std::string_view name) {
  while (!name.empty() && name.front() == '-') name.remove_prefix(1);
  return name;
}

}  // namespace

std::span<const OptionRow> Options() { return kOptions; }

const OptionRow& OptionOf(Option id) {
  return *std::find_if(kOptions.begin(), kOptions.end(), [id](const OptionRow& row) { return row.id == id; });
}

std::string RuleError(std::string_view name, const OptionRow& row, std::string_view value) {
  return std::string(name) + " takes " + row.rule + ", not \"" + std::string(value) + "\"";
}

std::string NearestName(std::string_view given, const std::vector<std::string>& candidates) {
  // "--out=x" is judged by its name.
  given = given.substr(0, given.find('='));
  const std::string_view core = WithoutDashes(given);
  std::string best;
  size_t bestDistance = 3;  // two edits at most
  for (const std::string& candidate : candidates) {
    const std::string_view other = WithoutDashes(candidate);
    if (core.empty() || other.empty()) continue;
    size_t distance = EditDistance(given, candidate);
    // "--output" for "--out", "--form" for "--format": one name starts the other.
    if (core.size() >= 3 && other.size() >= 3 && (core.starts_with(other) || other.starts_with(core)))
      distance = std::min<size_t>(distance, 1);
    if (distance < bestDistance && distance < other.size()) {
      bestDistance = distance;
      best = candidate;
    }
  }
  return best;
}
