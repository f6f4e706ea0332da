#include "mathlib/processor_info.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

uint8_t ProbeFeatures() {
  uint8_t features = 0;
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    if (edx & (1u << 25)) features |= kFeatureSse;
    if (edx & (1u << 26)) features |= kFeatureSse2;
    if (edx & (1u << 23)) features |= kFeature40;  // MMX
  }
  // 3DNow! is advertised in the extended leaf; no current processor sets it.
  if (__get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) && (edx & (1u << 31))) {
    features |= kFeatureThreeDNow;
  }
#endif
  // Other targets report no feature: every routine keeps its default variant.
  return features;
}

}  // namespace

const ProcessorRecord* GetCPUInformation() {
  static const ProcessorRecord record = [] {
    ProcessorRecord r;
    r.bytes[kProcessorFeatureByte] = ProbeFeatures();
    return r;
  }();
  return &record;
}
