// What a batch run found to do: the models with their output folders, and the
// entries it passed over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BatchModel {
  std::string input;      // the model file as found ("trees/props/crate.mdl")
  std::string base;       // the input without its extension ("trees/props/crate")
  std::string extension;  // the extension as found (".mdl", ".MDL")
  std::string output;     // its folder below the output root ("props/crate")
  int64_t inputBytes = 0;  // model and strip file together, for the order of work
  // Set: this model's output folder is the same, letters folded, as the one of
  // an earlier model (its index), or names the report or the index page
  // (kCollidesWithReport, kCollidesWithIndex); the model is not converted.
  int collidesWith = kNoCollision;
  static constexpr int kNoCollision = -1;
  static constexpr int kCollidesWithReport = -2;
  static constexpr int kCollidesWithIndex = -3;
};

// An entry the walk did not convert: a FIFO or device named .mdl, a folder
// link, a link loop, the output root, or a folder that could not be read.
struct BatchSkip {
  std::string path;
  std::string reason;
  bool isError = false;  // something that should have been read was not: the batch ends with status 2
};

struct BatchPlan {
  std::vector<BatchModel> models;  // in walk order: PATHs as given, folder entries by name
  std::vector<BatchSkip> skipped;
  bool walkInterrupted = false;    // the walk stopped early: the lists are incomplete
};
