#include "driver/batch_findings.h"

#include <string_view>

namespace {

enum class LineKind { Progress, Note, Problem };

LineKind KindOf(std::string_view line) {
  if (line.starts_with("Decompiled ") || line.starts_with("Extracted ")) return LineKind::Progress;
  if (line.starts_with("Name changed: ") || line.starts_with("File name taken: ") ||
      line.find("glTF cannot hold") != std::string_view::npos)
    return LineKind::Note;
  return LineKind::Problem;
}

// Lines that say an output could not be written as it should.
bool IsOutputLine(std::string_view line) {
  for (std::string_view start : {"Write failed: ", "Output limit reached ", "Refused output name ",
                                 "Skipped file with a name longer ", "Can't create the output folder: ",
                                 "Not converted: its output folder "}) {
    if (line.starts_with(start)) return true;
  }
  return false;
}

}  // namespace

ModelFinding FindingOf(const BatchModel& model, const ModelResult& result, bool batchInterrupted) {
  ModelFinding finding;
  if (result.status == kStatusConverted) return finding;
  if (!result.finished && model.collidesWith == BatchModel::kNoCollision) {
    finding.kind = batchInterrupted ? "interrupted" : "not started";
    return finding;
  }
  std::string_view firstNote, firstProblem;
  const std::string_view log = result.log;
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find('\n', start);
    if (end == std::string_view::npos) end = log.size();
    const std::string_view line = log.substr(start, end - start);
    start = end + 1;
    const LineKind kind = KindOf(line);
    if (kind == LineKind::Problem && firstProblem.empty()) firstProblem = line;
    if (kind == LineKind::Note && firstNote.empty()) firstNote = line;
  }
  if (result.status == kStatusConvertedWithNotes || firstProblem.empty()) {
    finding.line = firstNote;
    if (result.status == kStatusConvertedWithNotes) {
      finding.kind = firstNote.find("glTF cannot hold") != std::string_view::npos ? "values replaced" : "names changed";
      return finding;
    }
  } else {
    finding.line = firstProblem;
  }
  const bool output = result.status == kStatusWriteFailed || result.status == kStatusCollision ||
                      IsOutputLine(finding.line);
  finding.kind = output ? "output problem" : "damaged input";
  return finding;
}
