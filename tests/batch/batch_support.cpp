#include "tests/batch/batch_support.h"

#include <gtest/gtest.h>

#include <cctype>

#include "tests/tool_runner/tool_runner.h"

void PutModel(const fs::path& base, const tb::ModelDescription& model) {
  fs::create_directories(base.parent_path());
  tb::WriteModelFiles(tb::BuildModel(model), base.parent_path().string(), base.filename().string());
}

std::map<std::string, std::string> TreeFiles(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadFileText(entry.path());
  }
  return files;
}

nlohmann::json ReadReport(const fs::path& out) {
  return nlohmann::json::parse(ReadFileText(out / "report.json"), nullptr, false);
}

nlohmann::json WithoutSeconds(nlohmann::json report) {
  if (report.is_object()) {
    report.erase("seconds");
    for (auto& [key, value] : report.items()) value = WithoutSeconds(value);
  } else if (report.is_array()) {
    for (auto& value : report) value = WithoutSeconds(value);
  }
  return report;
}

nlohmann::json ModelEntry(const nlohmann::json& report, const std::string& input) {
  for (const nlohmann::json& entry : report["models"]) {
    if (entry["input"] == input) return entry;
  }
  return nullptr;
}

std::string ExactPath(const nlohmann::json& entry, const std::string& key) {
  if (!entry.contains(key + "Exact")) return entry[key].get<std::string>();
  const std::string encoded = entry[key + "Exact"].get<std::string>();
  std::string path;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '%' && i + 2 < encoded.size()) {
      path += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += encoded[i];
    }
  }
  return path;
}

std::string CompareWithSingleRuns(const fs::path& dir, const std::string& out) {
  nlohmann::json report = ReadReport(dir / out);
  fs::path batchCopy = dir / (out + ".batch");
  fs::remove_all(batchCopy);
  fs::rename(dir / out, batchCopy);
  std::string differences;
  for (const nlohmann::json& entry : report["models"]) {
    if (entry["exitStatus"].is_null()) continue;  // not run: a collision or not started
    std::string input = ExactPath(entry, "input");
    // -file asks for "<base>.mdl" whatever the letters of the extension given.
    for (size_t i = input.size() - 4; i < input.size(); ++i) input[i] = static_cast<char>(std::tolower(input[i]));
    std::string folder = out + "/" + ExactPath(entry, "output");
    ToolRun run = RunTool(dir, {"-file", input, "-out", folder});
    if (run.status != entry["exitStatus"])
      differences += input + ": exit " + std::to_string(run.status) + " alone, " + entry["exitStatus"].dump() + "\n";
    std::map<std::string, std::string> alone = TreeFiles(dir / folder);
    std::map<std::string, std::string> batched = TreeFiles(batchCopy / ExactPath(entry, "output"));
    for (const auto& [name, bytes] : alone) {
      auto found = batched.find(name);
      if (found == batched.end()) {
        differences += folder + "/" + name + ": missing from the batch\n";
      } else if (found->second != bytes) {
        differences += folder + "/" + name + ": differs\n";
      }
    }
    for (const auto& [name, bytes] : batched) {
      if (!alone.count(name)) differences += folder + "/" + name + ": only in the batch\n";
    }
  }
  fs::remove_all(dir / out);
  fs::rename(batchCopy, dir / out);
  return differences;
}
