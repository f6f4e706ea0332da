#include "script/referenced_bone.h"

#include <cstdio>

std::string_view ReferencedBoneName(const ModelFile& model, const ModelHeader& header, int32_t bone,
                                    int64_t fieldAt, const char* field) {
  if (bone < 0 || bone >= header.boneCount) {
    char text[96];
    std::snprintf(text, sizeof text, "names bone %d of a table of %d", bone, header.boneCount);
    ThrowFormatErrorText(model.bytes, field, fieldAt, text);
  }
  return BoneName(model, ReadBone(model, header, bone));
}
