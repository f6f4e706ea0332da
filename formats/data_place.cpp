#include "formats/data_place.h"

std::string DescribePlace(const DataPlace& place) {
  std::string levels;
  for (const DataPlace::Level& level : place.levels) {
    if (level.what == nullptr) continue;
    if (!levels.empty()) levels += place.separator;
    levels += level.what;
    if (level.index >= 0) {
      levels += ' ';
      levels += std::to_string(level.index);
    }
  }
  if (levels.empty()) return place.item;
  if (place.item.empty()) return levels;
  if (place.inParentheses) return place.item + " (" + levels + ")";
  return place.item + place.separator + levels;
}
