#include "driver/batch_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>

#include "driver/batch_index.h"
#include "driver/batch_model.h"
#include "driver/batch_report.h"
#include "driver/batch_walk.h"
#include "driver/interrupt_flag.h"
#include "driver/progress_line.h"
#include "driver/run_tool.h"
#include "io/output_folder.h"
#include "io/whole_file.h"
#include "io/work_pool.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr auto kReportInterval = std::chrono::seconds(5);

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Everything the coordinators, the monitor and the end of the run share.
class Batch {
 public:
  Batch(const BatchOptions& options, BatchPlan plan, const OutputFolder& root, bool progress)
      : options_(options), plan_(std::move(plan)), root_(root), console_(progress),
        results_(plan_.models.size()) {
    for (size_t i = 0; i < plan_.models.size(); ++i) {
      const BatchModel& model = plan_.models[i];
      inputTotal_ += model.inputBytes;
      if (model.collidesWith == BatchModel::kNoCollision) {
        order_.push_back(i);
        continue;
      }
      std::string other = model.collidesWith >= 0 ? plan_.models[static_cast<size_t>(model.collidesWith)].input
                          : model.collidesWith == BatchModel::kCollidesWithIndex ? std::string("the index page")
                                                                                 : std::string("the report");
      results_[i].status = kStatusCollision;
      results_[i].log = "Not converted: its output folder " + options_.out + "/" + model.output +
                        " is also the one of " + other + "\n";
    }
    // Largest input first, so a large model does not start last and run alone.
    std::stable_sort(order_.begin(), order_.end(), [this](size_t a, size_t b) {
      return plan_.models[a].inputBytes > plan_.models[b].inputBytes;
    });
  }

  int Run() {
    for (const BatchSkip& skip : plan_.skipped) {
      if (skip.isError) console_.PrintLine("tamberlo: " + skip.reason + ": " + skip.path);
    }
    for (size_t i = 0; i < plan_.models.size(); ++i) {
      if (plan_.models[i].collidesWith != BatchModel::kNoCollision) ReportFailure(i);
    }
    WriteReport(false);
    std::thread monitor([this] { Monitor(); });

    int jobs = options_.jobs;
    // The coordinators run the models' walks and, while they wait, any file
    // of any model: the pool needs no threads of its own.
    std::unique_ptr<WorkPool> pool;
    if (jobs > 1) pool = std::make_unique<WorkPool>(0);
    running_ = jobs;
    std::vector<std::thread> coordinators;
    for (int i = 1; i < jobs; ++i) coordinators.emplace_back([this, &pool] { Coordinate(pool.get()); });
    Coordinate(pool.get());
    for (std::thread& thread : coordinators) thread.join();

    {
      std::lock_guard<std::mutex> lock(monitorMutex_);
      stopMonitor_ = true;
    }
    monitorChanged_.notify_all();
    monitor.join();
    console_.Finish();
    bool reportWritten = WriteReport(true);
    int status = ExitStatus();
    if (!reportWritten && status == 0) status = kExitDoneWithErrors;
    console_.PrintLine(SummaryLine(status, reportWritten));
    return status;
  }

 private:
  void Coordinate(WorkPool* pool) {
    for (;;) {
      if (InterruptRequested().load() || diskFull_.load()) break;
      size_t k = next_.fetch_add(1);
      if (k >= order_.size()) break;
      size_t i = order_[k];
      // Counted as read when it starts, corrected when it ends.
      bytesRead_ += plan_.models[i].inputBytes;
      ModelResult result = ConvertBatchModel(plan_.models[i], root_, Parallelism{pool, options_.jobs}, &bytesWritten_,
                                             OutputChoice{options_.format, options_.previewSize}, options_.maxOutput);
      bytesRead_ += result.bytesRead - plan_.models[i].inputBytes;
      inputDone_ += plan_.models[i].inputBytes;
      if (result.diskFull) diskFull_ = true;
      bool failed = !IsConverted(result);
      {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_[i] = std::move(result);
        changed_ = true;
      }
      if (failed) {
        ++failed_;
        ReportFailure(i);
      }
      ++done_;
    }
    // Out of models: help with the files of the models still running.
    if (pool != nullptr) {
      --running_;
      pool->Notify();
      pool->WaitUntil([this] { return running_.load() == 0; });
    }
  }

  void ReportFailure(size_t i) {
    const BatchModel& model = plan_.models[i];
    std::string status, where;
    {
      std::lock_guard<std::mutex> lock(resultsMutex_);
      status = results_[i].status;
      if (results_[i].exitStatus >= 0) {
        where = " (exit " + std::to_string(results_[i].exitStatus) + ", see " + options_.out + "/" + model.output +
                "/streams.log)";
      } else if (model.collidesWith >= 0) {
        where = " (the same output folder as " + plan_.models[static_cast<size_t>(model.collidesWith)].input + ")";
      } else if (model.collidesWith == BatchModel::kCollidesWithReport) {
        where = " (its output folder would be the report)";
      } else if (model.collidesWith == BatchModel::kCollidesWithIndex) {
        where = " (its output folder would be the index page)";
      }
    }
    console_.PrintLine("tamberlo: " + status + ": " + model.input + where);
  }

  void Monitor() {
    auto lastReport = Clock::now();
    std::unique_lock<std::mutex> lock(monitorMutex_);
    while (!stopMonitor_) {
      monitorChanged_.wait_for(lock, kProgressInterval);
      if (stopMonitor_) break;
      lock.unlock();
      if (console_.ShowsProgress()) console_.ShowProgress(FormatProgress(Counts()));
      if (Clock::now() - lastReport >= kReportInterval) {
        lastReport = Clock::now();
        WriteReport(false);
      }
      lock.lock();
    }
  }

  ProgressCounts Counts() const {
    ProgressCounts counts;
    counts.done = done_.load();
    counts.total = order_.size();
    counts.failed = failed_.load();
    counts.bytesRead = bytesRead_.load();
    counts.bytesWritten = bytesWritten_.load();
    counts.inputDone = inputDone_.load();
    counts.inputTotal = inputTotal_;
    counts.seconds = SecondsSince(start_);
    return counts;
  }

  int ExitStatus() const {
    if (InterruptRequested().load()) return 128 + InterruptSignal();
    bool allConverted = std::all_of(results_.begin(), results_.end(),
                                    [](const ModelResult& r) { return IsConverted(r); });
    bool walkErrors = std::any_of(plan_.skipped.begin(), plan_.skipped.end(),
                                  [](const BatchSkip& skip) { return skip.isError; });
    return allConverted && !walkErrors ? 0 : kExitDoneWithErrors;
  }

  // The report and the index page as things stand; at the end, always
  // written, else only when something changed. The report goes first: the
  // page links to it.
  bool WriteReport(bool final) {
    std::string report, page;
    {
      std::lock_guard<std::mutex> lock(resultsMutex_);
      if (!final && !changed_ && reportWritten_) return true;
      changed_ = false;
      BatchTotals totals{SecondsSince(start_), InterruptRequested().load(), ExitStatus(), options_.previewSize};
      report = BatchReportText(options_.paths, plan_, results_, totals);
      page = BatchIndexHtml(options_.paths, plan_, results_, totals);
    }
    std::lock_guard<std::mutex> lock(reportMutex_);
    bool written = true;
    for (const auto& [name, text] : {std::pair{"report.json", &report}, std::pair{"index.html", &page}}) {
      std::string error;
      if (WriteWholeFile(root_.fd, name, *text, error)) continue;
      if (final) console_.PrintLine("tamberlo: cannot write " + options_.out + "/" + error);
      written = false;
    }
    if (written) reportWritten_ = true;
    return written;
  }

  std::string SummaryLine(int status, bool reportWritten) const {
    size_t converted = 0, notStarted = 0;
    for (size_t i = 0; i < results_.size(); ++i) {
      if (IsConverted(results_[i])) ++converted;
      if (!results_[i].finished && plan_.models[i].collidesWith == BatchModel::kNoCollision) ++notStarted;
    }
    char text[256];
    std::snprintf(text, sizeof text,
                  "tamberlo: %zu models: %zu converted, %zu with errors, %zu not started; %.1f MB read, %.1f MB "
                  "written in %.1f s%s; ",
                  results_.size(), converted, results_.size() - converted - notStarted, notStarted,
                  static_cast<double>(bytesRead_.load()) / 1e6, static_cast<double>(bytesWritten_.load()) / 1e6,
                  SecondsSince(start_), status >= 128 ? ", interrupted" : "");
    return text + ("report " + options_.out + "/report.json, page " + options_.out + "/index.html") +
           (reportWritten ? "" : " not brought up to date");
  }

  const BatchOptions& options_;
  const BatchPlan plan_;
  const OutputFolder& root_;
  const Clock::time_point start_ = Clock::now();
  BatchConsole console_;

  std::vector<size_t> order_;  // models to convert, largest input first
  int64_t inputTotal_ = 0;
  std::atomic<size_t> next_{0};
  std::atomic<int> running_{0};
  std::atomic<size_t> done_{0};
  std::atomic<size_t> failed_{0};
  std::atomic<int64_t> bytesRead_{0};
  std::atomic<int64_t> inputDone_{0};
  std::atomic<uint64_t> bytesWritten_{0};
  std::atomic<bool> diskFull_{false};

  std::mutex resultsMutex_;  // results_, changed_, reportWritten_
  std::vector<ModelResult> results_;
  bool changed_ = false;
  bool reportWritten_ = false;
  std::mutex reportMutex_;  // one writer of report.json and index.html at a time

  std::mutex monitorMutex_;
  std::condition_variable monitorChanged_;
  bool stopMonitor_ = false;
};

}  // namespace

int RunBatchCommand(int argc, char** argv) {
  BatchOptions options;
  std::string error;
  if (!ParseBatchOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tamberlo: %s\nUse: tamberlo -batch PATH... -out DIR [-jobs N] [-quiet] [-follow-links]\n",
                 error.c_str());
    return kExitUsage;
  }
  return RunBatch(options);
}

int RunBatch(const BatchOptions& options) {
  OutputFolder root;
  std::string error;
  if (!OpenNamedFolder(root, options.out, error)) {
    std::fprintf(stderr, "tamberlo: Can't create the output folder: %s\n", error.c_str());
    return kExitUsage;
  }
  struct stat rootStatus;
  if (::fstat(root.fd, &rootStatus) != 0) {
    CloseOutputFolder(root);
    return kExitUsage;
  }
  InstallInterruptHandlers();
  WalkSettings settings;
  settings.followLinks = options.followLinks;
  settings.outputDevice = rootStatus.st_dev;
  settings.outputInode = rootStatus.st_ino;
  settings.stop = &InterruptRequested();
  bool progress = !options.quiet && ::isatty(2);
  int status;
  {
    Batch batch(options, FindModels(options.paths, settings), root, progress);
    status = batch.Run();
  }
  RestoreInterruptHandlers();
  CloseOutputFolder(root);
  return status;
}
