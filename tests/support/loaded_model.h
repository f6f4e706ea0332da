// Both built images, viewed as the tool sees them after loading.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "formats/layout.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "builder/model_builder.h"

struct LoadedModel {
  tb::BuiltModel built;
  ModelFile model;
  StripFile strip;

  explicit LoadedModel(tb::BuiltModel images) : built(std::move(images)) {
    const std::vector<uint8_t>& modelBytes = built.model.bytes;
    model.bytes = ByteView{modelBytes.data(), static_cast<int64_t>(modelBytes.size()), "test.mdl"};
    model.layout = LayoutForVersion(tb::GetI32(modelBytes, 4));
    const std::vector<uint8_t>& stripBytes = built.strip.bytes;
    strip.bytes = ByteView{stripBytes.data(), static_cast<int64_t>(stripBytes.size()), "test.dx80.vtx"};
  }
  LoadedModel(const LoadedModel&) = delete;
  LoadedModel& operator=(const LoadedModel&) = delete;
};
