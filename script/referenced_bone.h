// The bone a hitbox or attachment names, through a checked index.
#pragma once

#include <cstdint>
#include <string>

#include "formats/data_place.h"
#include "formats/model_records.h"

// The name of bone `bone`. An index outside 0 .. boneCount - 1 is bad data even
// when the record it would select lies inside the file: that record is some
// other table's bytes, and its "name" would be garbage in the script.
std::string_view ReferencedBoneName(const ModelFile& model, const ModelHeader& header, int32_t bone,
                                    int64_t fieldAt, const char* field);
