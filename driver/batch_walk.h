// Finding the models of a batch: PATHs that name models, and folders searched
// for .mdl files in any letter case.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

#include "driver/batch_plan.h"

struct WalkSettings {
  bool followLinks = false;
  // The output root (device and inode): never searched, wherever it lies.
  dev_t outputDevice = 0;
  ino_t outputInode = 0;
  // Checked at every folder: set, the walk stops and marks the plan interrupted.
  const std::atomic<bool>* stop = nullptr;
};

// Every model below `paths`, in order: each PATH in turn, each folder's
// entries sorted by name. A folder PATH's models get the output folder of
// their place below it ("props/crate" for PATH/props/crate.mdl); a model named
// directly gets its own name. Only regular files (or links to them) are
// models; folder links are entered only with followLinks, and never when they
// lead back into a folder on the current path.
BatchPlan FindModels(const std::vector<std::string>& paths, const WalkSettings& settings);

// Marks every model whose output folder equals, ASCII letters folded, the
// output folder of an earlier model, or is "report.json" or "index.html".
void MarkOutputCollisions(std::vector<BatchModel>& models);
