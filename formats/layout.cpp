#include "formats/layout.h"

namespace {

constexpr ModelLayout kCurrentLayout = {
    VersionFamily::Mode37, "Decompiled 37 mode\n",
    4, 12, 80, 92,
    156, 160, 172, 176, 180, 184,
    204, 208, 224, 228, 232, 236,
    252, 256, 260, 264, 316, 320, 324,
    328,
    188, 120,
    VertexStorage::Interleaved, true,
};

constexpr ModelLayout kEarly31To36Layout = {
    VersionFamily::Mode31To36, "Decompiled 31-36 mode\n",
    4, 12, 80, 92,
    156, 160, 172, 176, 180, 184,
    188, 192, 208, 212, 216, 220,
    236, 240, 244, 248, 300, 304, 308,
    312,
    4284, 120,
    VertexStorage::Interleaved, true,
};

constexpr ModelLayout kEarly28To30Layout = {
    VersionFamily::Mode28To30, "Decompiled 28-30 mode\n",
    4, 12, 80, 92,
    156, 160, 172, 176, 180, 184,
    188, 192, 208, 212, 216, 220,
    236, 240, 244, 248, 300, 304, 308,
    312,
    4284, 116,
    VertexStorage::SplitArrays, false,
};

}  // namespace

const ModelLayout* LayoutForVersion(int32_t version) {
  if (version == 37) return &kCurrentLayout;
  if (version >= 31 && version <= 36) return &kEarly31To36Layout;
  if (version >= 28 && version <= 30) return &kEarly28To30Layout;
  return nullptr;
}
