// DIR/index.html: one static page with a card per model of a batch, for
// looking through the results in a browser.
#pragma once

#include <string>
#include <vector>

#include "driver/batch_model.h"
#include "driver/batch_plan.h"
#include "driver/batch_report.h"

// The page's text, from the same data as the report. `results` holds one entry
// per model of `plan`. Cards come failures first, then models not started,
// then converted ones, each group by input path; every link is relative to
// the page's folder and points only at files listed in a model's `files`.
std::string BatchIndexHtml(const std::vector<std::string>& paths, const BatchPlan& plan,
                           const std::vector<ModelResult>& results, const BatchTotals& totals);
