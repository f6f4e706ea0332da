// The tool's version, as set in the top CMakeLists.txt (project VERSION).
// Header only: any layer may include it, for example a writer that records
// the generator of its files.
#pragma once

#ifndef TAMBERLO_VERSION
#error "TAMBERLO_VERSION is defined by the build (CMakeLists.txt)"
#endif

constexpr const char* kToolVersion = TAMBERLO_VERSION;
