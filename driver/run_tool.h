// The tool's entry: -file lookup, loading, version dispatch and the writers.
#pragma once

#include <cstdint>

struct ModelFile;
struct StripFile;

// Exit statuses. 0 and 1 as the tool has always used them (1 is success);
// 2 when the run met damaged input or could not write an output.
constexpr int kExitNotLoaded = 0;
constexpr int kExitDone = 1;
constexpr int kExitDoneWithErrors = 2;

int RunTamberlo(int argc, char** argv);

// The part after loading: math start-up, version dispatch, the three writers.
// Takes the two loaded images; used by RunTamberlo and the fuzzer.
int RunOnImages(const unsigned char* modelData, int64_t modelSize, const char* modelPath,
                const unsigned char* stripData, int64_t stripSize, const char* stripPath);
