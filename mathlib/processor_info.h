// The processor record the math start-up chooses its routines by.
#pragma once

#include <cstdint>

// Feature bits of the record's byte 4.
constexpr uint8_t kFeatureSse = 0x08;
constexpr uint8_t kFeatureSse2 = 0x10;
constexpr uint8_t kFeatureThreeDNow = 0x20;
constexpr uint8_t kFeature40 = 0x40;  // reported for MMX; only recorded, selects nothing

struct ProcessorRecord {
  uint8_t bytes[8] = {};  // only byte 4, the feature bits, is filled
};
constexpr int kProcessorFeatureByte = 4;

// Probed once; the pointer stays valid for the life of the process.
const ProcessorRecord* GetCPUInformation();
