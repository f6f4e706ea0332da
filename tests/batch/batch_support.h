// Trees of generated models for the batch tests, and reading what a batch wrote.
#pragma once

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "builder/model_builder.h"

namespace fs = std::filesystem;

// Writes <base>.mdl and <base>.dx80.vtx of `model`, making the folders.
void PutModel(const fs::path& base, const tb::ModelDescription& model);
// Every regular file below `root`, by path relative to it, with its bytes.
std::map<std::string, std::string> TreeFiles(const fs::path& root);
nlohmann::json ReadReport(const fs::path& out);
// The report without any "seconds" member, which differ from run to run.
nlohmann::json WithoutSeconds(nlohmann::json report);
// The report's entry for the model read from `input`; null when none.
nlohmann::json ModelEntry(const nlohmann::json& report, const std::string& input);
// The exact bytes of a path field of the report: "<key>Exact" percent-decoded
// when the entry has it, else "<key>".
std::string ExactPath(const nlohmann::json& entry, const std::string& key);
// Runs -file <input> -out <out>/<output> for each model of the report that was
// run, in `dir`, after moving the batch's output to <out>.batch, and compares
// the two trees file by file (the report aside). A model file whose extension
// is not in lower case must have been renamed to ".mdl" first: -file asks for
// that name. Returns the differences, one per line.
std::string CompareWithSingleRuns(const fs::path& dir, const std::string& out);
