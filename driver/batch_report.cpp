#include "driver/batch_report.h"

#include <map>
#include <nlohmann/json.hpp>

#include "driver/batch_findings.h"
#include "driver/version.h"

namespace {

using Json = nlohmann::ordered_json;

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
  entry["input"] = model.input;
  entry["output"] = model.output;
  entry["version"] = result.versionRead ? Json(result.version) : Json(nullptr);
  entry["family"] = result.family != nullptr ? Json(result.family) : Json(nullptr);
  entry["status"] = result.status;
  if (model.collidesWith == BatchModel::kCollidesWithReport) {
    entry["collidesWith"] = "report.json";
  } else if (model.collidesWith == BatchModel::kCollidesWithIndex) {
    entry["collidesWith"] = "index.html";
  } else if (model.collidesWith >= 0) {
    entry["collidesWith"] = plan.models[static_cast<size_t>(model.collidesWith)].input;
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
  for (const WrittenFile& file : result.files) files.push_back(Json{{"name", file.name}, {"bytes", file.bytes}});
  entry["files"] = files;
  entry["seconds"] = result.seconds;
  return entry;
}

}  // namespace

std::string BatchReportText(const std::vector<std::string>& paths, const BatchPlan& plan,
                            const std::vector<ModelResult>& results, const BatchTotals& totals) {
  Json report;
  report["tool"] = std::string("tamberlo ") + kToolVersion;
  report["paths"] = paths;
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
    skipped.push_back(Json{{"path", skip.path}, {"reason", skip.reason}, {"error", skip.isError}});
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
  // Names from model files may hold any bytes: invalid UTF-8 becomes U+FFFD.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
