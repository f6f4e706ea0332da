// DIR/report.json: every model of a batch and a summary, as JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/batch_model.h"
#include "driver/batch_plan.h"

struct BatchTotals {
  double seconds = 0;
  bool interrupted = false;
  int exitStatus = 0;  // of the batch; while it runs, what it would be if it ended now
  int pictureSize = 0;  // the pictures' width and height (-preview-size); 0: the default
};

// The report's text. `results` holds one entry per model of `plan`.
std::string BatchReportText(const std::vector<std::string>& paths, const BatchPlan& plan,
                            const std::vector<ModelResult>& results, const BatchTotals& totals);
