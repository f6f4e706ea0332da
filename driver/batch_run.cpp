#include "driver/batch_run.h"

#include <signal.h>
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
#include "io/shown_name.h"
#include "io/whole_file.h"
#include "io/work_pool.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr auto kReportInterval = std::chrono::seconds(5);
// The interruption notice names this many models in progress, then counts the rest.
constexpr size_t kNamedInNotice = 3;
// A model in progress counts as at most this share done, whatever its output says.
constexpr double kMostOfAModelInProgress = 0.9;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t NanosecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// Everything the coordinators, the monitor and the end of the run share.
class Batch {
 public:
  Batch(const BatchOptions& options, BatchPlan plan, const OutputFolder& root, bool progress)
      : options_(options), plan_(std::move(plan)), root_(root), console_(progress),
        lanes_(std::make_unique<Lane[]>(static_cast<size_t>(options.jobs))), results_(plan_.models.size()) {
    for (size_t i = 0; i < plan_.models.size(); ++i) {
      const BatchModel& model = plan_.models[i];
      if (model.collidesWith == BatchModel::kNoCollision) {
        inputTotal_ += model.inputBytes;
        order_.push_back(i);
        continue;
      }
      std::string other = model.collidesWith >= 0
                              ? ShownName(plan_.models[static_cast<size_t>(model.collidesWith)].input)
                          : model.collidesWith == BatchModel::kCollidesWithIndex ? std::string("the index page")
                                                                                 : std::string("the report");
      results_[i].status = kStatusCollision;
      results_[i].log = "Not converted: its output folder " + ShownName(options_.out + "/" + model.output) +
                        " is also the one of " + other + "\n";
    }
    // Largest input first, so a large model does not start last and run alone.
    std::stable_sort(order_.begin(), order_.end(), [this](size_t a, size_t b) {
      return plan_.models[a].inputBytes > plan_.models[b].inputBytes;
    });
  }

  int Run() {
    for (const BatchSkip& skip : plan_.skipped) {
      if (skip.isError) console_.PrintLine("tamberlo: " + skip.reason + ": " + ShownName(skip.path));
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
    for (int i = 1; i < jobs; ++i) coordinators.emplace_back([this, &pool, i] { Coordinate(lanes_[i], pool.get()); });
    Coordinate(lanes_[0], pool.get());
    for (std::thread& thread : coordinators) thread.join();

    {
      std::lock_guard<std::mutex> lock(monitorMutex_);
      stopMonitor_ = true;
    }
    monitorChanged_.notify_all();
    monitor.join();
    return Finish();
  }

 private:
  // What one coordinator is converting, since when, and what that model has written so far.
  struct Lane {
    std::atomic<int64_t> model{-1};  // its index in the plan, -1 between models
    std::atomic<int64_t> started{0};  // nanoseconds after the batch's start
    std::atomic<uint64_t> written{0};
  };

  // The report, the index page and the summary line; the batch's exit status.
  int Finish() {
    console_.Finish();
    bool reportWritten = WriteReport(true);
    int status = ExitStatus();
    if (!reportWritten && status == 0) status = kExitDoneWithErrors;
    console_.PrintLine(SummaryLine(status, reportWritten));
    return status;
  }

  void Coordinate(Lane& lane, WorkPool* pool) {
    for (;;) {
      if (InterruptRequested().load() || diskFull_.load()) break;
      size_t k = next_.fetch_add(1);
      if (k >= order_.size()) break;
      size_t i = order_[k];
      // Counted as read when it starts, corrected when it ends.
      bytesRead_ += plan_.models[i].inputBytes;
      lane.started = NanosecondsSince(start_);
      lane.model = static_cast<int64_t>(i);
      ModelResult result = ConvertBatchModel(plan_.models[i], root_, Parallelism{pool, options_.jobs}, &lane.written,
                                             OutputChoice{options_.format, options_.previewSize}, options_.maxOutput);
      bytesRead_ += result.bytesRead - plan_.models[i].inputBytes;
      if (result.diskFull) diskFull_ = true;
      bool failed = !IsConverted(result);
      bool stopped = false;
      {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        // After a second signal took its temporary files away, whatever the
        // model ended with is not its result.
        if (StopAtOnceRequested()) {
          stopped = MarkInterrupted(i);
        } else {
          results_[i] = std::move(result);
        }
        changed_ = true;
      }
      writtenDone_ += lane.written.exchange(0);
      busyDone_ += NanosecondsSince(start_) - lane.started.load();
      inputDone_ += plan_.models[i].inputBytes;
      lane.model = -1;
      if (stopped) ReportFailure(i);
      if (stopped || StopAtOnceRequested()) continue;
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
        where = " (exit " + std::to_string(results_[i].exitStatus) + ", see " +
                ShownName(options_.out + "/" + model.output) + "/streams.log)";
      } else if (status == kStatusInterrupted) {
        where = " (stopped while converted: " + ShownName(options_.out + "/" + model.output) +
                " may hold some of its files)";
      } else if (model.collidesWith >= 0) {
        where = " (the same output folder as " +
                ShownName(plan_.models[static_cast<size_t>(model.collidesWith)].input) + ")";
      } else if (model.collidesWith == BatchModel::kCollidesWithReport) {
        where = " (its output folder would be the report)";
      } else if (model.collidesWith == BatchModel::kCollidesWithIndex) {
        where = " (its output folder would be the index page)";
      }
    }
    console_.PrintLine("tamberlo: " + status + ": " + ShownName(model.input) + where);
  }

  // Reports model `i` as stopped in progress unless it has a result; true
  // when it did. Called with resultsMutex_ held.
  bool MarkInterrupted(size_t i) {
    ModelResult& result = results_[i];
    if (result.finished) return false;
    result = ModelResult();
    result.finished = true;
    result.status = kStatusInterrupted;
    result.log = "Interrupted: stopped at once while being converted; its folder may hold some of its files\n";
    return true;
  }

  // The models being converted, in walk order.
  std::vector<size_t> ModelsInProgress() const {
    std::vector<size_t> models;
    for (int j = 0; j < options_.jobs; ++j) {
      int64_t model = lanes_[j].model.load();
      if (model >= 0) models.push_back(static_cast<size_t>(model));
    }
    std::sort(models.begin(), models.end());
    return models;
  }

  // After the first signal: what the batch waits for, and how not to wait.
  void SayWhatIsAwaited() {
    std::vector<size_t> models = ModelsInProgress();
    if (models.empty()) return;
    std::string line = "tamberlo: interrupted; waiting for the " + std::to_string(models.size()) +
                       (models.size() == 1 ? " model" : " models") + " in progress to finish: ";
    for (size_t n = 0; n < models.size() && n < kNamedInNotice; ++n)
      line += (n > 0 ? ", " : "") + ShownName(plan_.models[models[n]].input);
    if (models.size() > kNamedInNotice) line += " and " + std::to_string(models.size() - kNamedInNotice) + " more";
    line += InterruptSignal() == SIGINT ? " (Ctrl-C again stops at once)" : " (a second signal stops at once)";
    console_.PrintNotice(line);
  }

  // After the second signal, whose handler removed the temporary files: the
  // models in progress are reported as such, the report and the page are
  // written, and the process ends without waiting for those models.
  [[noreturn]] void StopAtOnce() {
    std::vector<size_t> stopped;
    {
      std::lock_guard<std::mutex> lock(resultsMutex_);
      for (size_t i : ModelsInProgress()) {
        if (MarkInterrupted(i)) stopped.push_back(i);
      }
    }
    for (size_t i : stopped) ReportFailure(i);
    int status = Finish();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
  }

  void Monitor() {
    auto lastReport = Clock::now();
    bool noticeGiven = false;
    std::unique_lock<std::mutex> lock(monitorMutex_);
    while (!stopMonitor_) {
      monitorChanged_.wait_for(lock, kProgressInterval);
      if (stopMonitor_) break;
      lock.unlock();
      if (StopAtOnceRequested()) StopAtOnce();
      if (InterruptRequested().load() && !noticeGiven) {
        noticeGiven = true;
        SayWhatIsAwaited();
      }
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
    counts.bytesWritten = BytesWritten();
    counts.inputTotal = inputTotal_;
    // Once interrupted, the models not started never will be: no time left to estimate.
    counts.workDone = InterruptRequested().load() ? 0 : WorkDone();
    counts.seconds = SecondsSince(start_);
    return counts;
  }

  uint64_t BytesWritten() const {
    uint64_t written = writtenDone_.load();
    for (int j = 0; j < options_.jobs; ++j) written += lanes_[j].written.load();
    return written;
  }

  // The finished models' input, and for each model in progress the input
  // that its output so far, or its time so far, stands for at the finished
  // models' output and time per input byte, whichever is more. Output comes
  // a whole file at a time; time fills the gaps.
  double WorkDone() const {
    const double inputDone = static_cast<double>(inputDone_.load());
    const double writtenDone = static_cast<double>(writtenDone_.load());
    const double busyDone = static_cast<double>(busyDone_.load());
    double work = inputDone;
    if (inputDone <= 0) return work;
    const double now = static_cast<double>(NanosecondsSince(start_));
    for (int j = 0; j < options_.jobs; ++j) {
      int64_t model = lanes_[j].model.load();
      if (model < 0) continue;
      const double input = static_cast<double>(plan_.models[static_cast<size_t>(model)].inputBytes);
      const double byOutput =
          writtenDone > 0 ? static_cast<double>(lanes_[j].written.load()) * inputDone / writtenDone : 0;
      const double byTime =
          busyDone > 0 ? (now - static_cast<double>(lanes_[j].started.load())) * inputDone / busyDone : 0;
      work += std::min(std::max(byOutput, byTime), kMostOfAModelInProgress * input);
    }
    return work;
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
      if (final) console_.PrintLine("tamberlo: cannot write " + ShownName(options_.out) + "/" + error);
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
                  static_cast<double>(bytesRead_.load()) / 1e6, static_cast<double>(BytesWritten()) / 1e6,
                  SecondsSince(start_), status >= 128 ? ", interrupted" : "");
    const std::string out = ShownName(options_.out);
    return text + ("report " + out + "/report.json, page " + out + "/index.html") +
           (reportWritten ? "" : " not brought up to date");
  }

  const BatchOptions& options_;
  const BatchPlan plan_;
  const OutputFolder& root_;
  const Clock::time_point start_ = Clock::now();
  BatchConsole console_;
  const std::unique_ptr<Lane[]> lanes_;  // one per coordinator

  std::vector<size_t> order_;  // models to convert, largest input first
  int64_t inputTotal_ = 0;     // of the models to convert
  std::atomic<size_t> next_{0};
  std::atomic<int> running_{0};
  std::atomic<size_t> done_{0};
  std::atomic<size_t> failed_{0};
  std::atomic<int64_t> bytesRead_{0};
  std::atomic<int64_t> inputDone_{0};     // of the finished models
  std::atomic<uint64_t> writtenDone_{0};  // by the finished models
  std::atomic<int64_t> busyDone_{0};      // nanoseconds the finished models took, summed
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
                 ShownLine(error).c_str());
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
