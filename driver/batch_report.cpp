#include "driver/batch_report.h"

#include <map>
#include <nlohmann/json.hpp>

#include "driver/batch_findings.h"
#include "driver/version.h"
#include "io/shown_name.h"
#include "io/web_escape.h"

namespace {

using Json = nlohmann::ordered_json;

// A path or name from the file system, as the console shows it; when that is
// not its exact bytes, they follow in "<key>Exact", percent-encoded.
void PutPath(Json& entry, const std::string& key, const std::string& path) {
  std::string shown = ShownName(path);
  const bool exact = shown == path && IsValidUtf8(path);
  entry[key] = std::move(shown);
  if (exact) return;
  std::string encoded;
  AppendUrlPath(encoded, path);
  entry[key + "Exact"] = std::move(encoded);
}

// One line per message, without the line ends.
Json MessageLines(const std::string& log) {
  Json lines = Json::array();
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    lines.push_back(log.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

Json ModelEntry(const BatchPlan& plan, const BatchModel& model, const ModelResult& result, bool interrupted) {
  Json entry;
  PutPath(entry, "input", model.input);
  PutPath(entry, "output", model.output);
  entry["version"] = result.versionRead ? Json(result.version) : Json(nullptr);
  entry["family"] = result.family != nullptr ? Json(result.family) : Json(nullptr);
  entry["status"] = result.status;
  if (model.collidesWith == BatchModel::kCollidesWithReport) {
    entry["collidesWith"] = "report.json";
  } else if (model.collidesWith == BatchModel::kCollidesWithIndex) {
    entry["collidesWith"] = "index.html";
  } else if (model.collidesWith >= 0) {
    PutPath(entry, "collidesWith", plan.models[static_cast<size_t>(model.collidesWith)].input);
  }
  entry["exitStatus"] = result.exitStatus >= 0 ? Json(result.exitStatus) : Json(nullptr);
  auto count = [](int64_t value) { return value >= 0 ? Json(value) : Json(nullptr); };
  const ModelCounts& counts = result.counts;
  entry["counts"] = Json{{"bones", count(counts.bones)},
                         {"subModels", count(counts.subModels)},
                         {"lodZeroTriangles", count(counts.lodZeroTriangles)},
                         {"animations", count(counts.animations)}};
  // What went wrong, in short: null for a model converted without a note.
  const ModelFinding finding = FindingOf(model, result, interrupted);
  entry["finding"] = finding.kind == nullptr ? Json(nullptr) : Json{{"kind", finding.kind}, {"line", finding.line}};
  entry["messages"] = MessageLines(result.log);
  Json files = Json::array();
  for (const WrittenFile& file : result.files) {
    Json written;
    PutPath(written, "name", file.name);
    written["bytes"] = file.bytes;
    files.push_back(std::move(written));
  }
  entry["files"] = files;
  entry["seconds"] = result.seconds;
  return entry;
}

}  // namespace

std::string BatchReportText(const std::vector<std::string>& paths, const BatchPlan& plan,
                            const std::vector<ModelResult>& results, const BatchTotals& totals) {
  Json report;
  report["tool"] = std::string("tamberlo ") + kToolVersion;
  // The PATHs given; when one is not shown as its exact bytes, all of them
  // follow in "pathsExact", percent-encoded.
  Json shownPaths = Json::array(), exactPaths = Json::array();
  bool allExact = true;
  for (const std::string& path : paths) {
    Json one;
    PutPath(one, "path", path);
    allExact = allExact && !one.contains("pathExact");
    shownPaths.push_back(one["path"]);
    std::string encoded;
    AppendUrlPath(encoded, path);
    exactPaths.push_back(std::move(encoded));
  }
  report["paths"] = shownPaths;
  if (!allExact) report["pathsExact"] = exactPaths;
  Json models = Json::array();
  size_t converted = 0, withErrors = 0, notStarted = 0;
  int64_t bytesRead = 0;
  uint64_t bytesWritten = 0;
  std::map<std::string, size_t> byStatus;
  for (size_t i = 0; i < plan.models.size(); ++i) {
    const ModelResult& result = results[i];
    models.push_back(ModelEntry(plan, plan.models[i], result, totals.interrupted));
    ++byStatus[result.status];
    if (IsConverted(result)) {
      ++converted;
    } else if (result.finished || plan.models[i].collidesWith != BatchModel::kNoCollision) {
      ++withErrors;
    } else {
      ++notStarted;
    }
    bytesRead += result.bytesRead;
    for (const WrittenFile& file : result.files) bytesWritten += file.bytes;
  }
  report["models"] = models;
  Json skipped = Json::array();
  size_t walkErrors = 0;
  for (const BatchSkip& skip : plan.skipped) {
    Json entry;
    PutPath(entry, "path", skip.path);
    entry["reason"] = skip.reason;
    entry["error"] = skip.isError;
    skipped.push_back(std::move(entry));
    if (skip.isError) ++walkErrors;
  }
  report["skipped"] = skipped;
  Json statusCounts = Json::object();
  for (const auto& [status, count] : byStatus) statusCounts[status] = count;
  report["summary"] = Json{{"models", plan.models.size()},
                           {"converted", converted},
                           {"withErrors", withErrors},
                           {"notStarted", notStarted},
                           {"byStatus", statusCounts},
                           {"skipped", plan.skipped.size()},
                           {"walkErrors", walkErrors},
                           {"walkComplete", !plan.walkInterrupted},
                           {"bytesRead", bytesRead},
                           {"bytesWritten", bytesWritten},
                           {"interrupted", totals.interrupted},
                           {"exitStatus", totals.exitStatus},
                           {"seconds", totals.seconds}};
  // Messages may still hold bytes that are not UTF-8 (names from model
  // files): they become U+FFFD.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
