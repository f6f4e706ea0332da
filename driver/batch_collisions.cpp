#include <string>
#include <unordered_map>

#include "driver/batch_walk.h"

namespace {

// ASCII letters folded: two names that differ only there are one folder on a
// case-insensitive file system.
std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

void MarkOutputCollisions(std::vector<BatchModel>& models) {
  std::unordered_map<std::string, int> first;
  for (size_t i = 0; i < models.size(); ++i) {
    std::string key = Folded(models[i].output);
    if (key == "report.json" || key == "index.html") {
      models[i].collidesWith =
          key == "report.json" ? BatchModel::kCollidesWithReport : BatchModel::kCollidesWithIndex;
      continue;
    }
    auto [at, inserted] = first.emplace(key, static_cast<int>(i));
    models[i].collidesWith = inserted ? BatchModel::kNoCollision : at->second;
  }
}
