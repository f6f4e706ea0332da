// Where the build-script writer is while it writes, so that bad data can be
// reported by the item it broke ("dec.qc hitbox set 1 hitbox 4") without
// formatting any text for the items that are fine.
#pragma once

#include <cstdint>
#include <string>

#include "formats/model_records.h"

struct ScriptPlace {
  struct Level {
    const char* what = nullptr;
    int32_t index = -1;  // -1: the item has no index (a header field, a whole table)
  };
  Level levels[3];
};

// Sets level `depth` and clears the deeper ones.
inline void SetScriptPlace(ScriptPlace& place, int depth, const char* what, int32_t index = -1) {
  place.levels[depth] = {what, index};
  for (int deeper = depth + 1; deeper < 3; ++deeper) place.levels[deeper] = {};
}

// "dec.qc <what> <index> <what> <index> ...".
std::string DescribeScriptPlace(const ScriptPlace& place);

// The name of bone `bone`. An index outside 0 .. boneCount - 1 is bad data even
// when the record it would select lies inside the file: that record is some
// other table's bytes, and its "name" would be garbage in the script.
std::string_view ReferencedBoneName(const ModelFile& model, const ModelHeader& header, int32_t bone,
                                    int64_t fieldAt, const char* field);
