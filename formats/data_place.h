// Where a writer is while it writes, so that bad data is reported by the item
// it broke ("dec.qc hitbox set 1 hitbox 4", "animation 2 \"walk\" bone 3
// frame 12", "mesh file \"arm.smd\" (body part 0, sub-model 1, LOD 0, mesh 2)")
// without formatting any text for the items that are fine.
#pragma once

#include <cstdint>
#include <string>

struct DataPlace {
  static constexpr int kLevels = 4;
  struct Level {
    const char* what = nullptr;  // nullptr: the level is not in use
    int64_t index = -1;          // -1: the item has no index (a header field, a whole table)
  };
  std::string item;               // what is being written; may be empty
  const char* separator = " ";    // between the item and the levels, and between levels
  bool inParentheses = false;     // "item (level, level)" instead of "item level level"
  Level levels[kLevels];
};

// Sets level `depth` and clears the deeper ones.
inline void SetPlace(DataPlace& place, int depth, const char* what, int64_t index = -1) {
  place.levels[depth] = {what, index};
  for (int deeper = depth + 1; deeper < DataPlace::kLevels; ++deeper) place.levels[deeper] = {};
}

// The item and every level in use, in order.
std::string DescribePlace(const DataPlace& place);
