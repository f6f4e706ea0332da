#include "io/ordered_items.h"

#include "io/work_pool.h"

OrderedItems::OrderedItems(Destination& walk, const Parallelism& parallel)
    : walk_(walk),
      walkHeld_(walk.sink.held),
      pool_(parallel.pool),
      maxPending_(parallel.threads < 1 ? 2 : 2 * static_cast<size_t>(parallel.threads)) {}

OrderedItems::~OrderedItems() {
  try {
    FinishAll();
  } catch (...) {
    // Reported by an explicit FinishAll; a destructor may not throw.
  }
}

void OrderedItems::Run(Entry& entry) {
  try {
    entry.work(entry.to, entry.out);
    FinishOutputFile(entry.out);
  } catch (...) {
    AbandonOutputFile(entry.out);
    entry.failure = std::current_exception();
  }
  entry.work = nullptr;
  // Once `done` is set the owner may release the entry and destroy this
  // object; only the pool, which outlives every conversion, is touched after.
  WorkPool* pool = pool_;
  entry.done.store(true, std::memory_order_release);
  if (pool != nullptr) pool->Notify();
}

void OrderedItems::Start(OutputFile&& out, ItemWork work) {
  while (pending_.size() >= maxPending_) {
    WaitForHead();
    ReleaseHead();
  }
  // Past the output limit nothing is kept; the file is not formatted at all.
  if (walk_.limit != nullptr && walk_.limit->reached) {
    AbandonOutputFile(out);
    return;
  }
  auto entry = std::make_unique<Entry>();
  Entry& e = *entry;
  // The item creates no files, so it has no use for the limit, which only the
  // walking thread may touch.
  e.to = Destination{walk_.folder, MessageSink{walk_.sink.channel, &e.held}, false, nullptr};
  e.out = std::move(out);
  e.work = std::move(work);
  pending_.push_back(std::move(entry));
  walk_.sink.held = &e.after;
  if (pool_ == nullptr) {
    Run(e);
    ReleaseHead();
  } else {
    pool_->Submit([this, &e] { Run(e); });
  }
}

void OrderedItems::WaitForHead() {
  Entry& head = *pending_.front();
  if (head.done.load(std::memory_order_acquire)) return;
  pool_->WaitUntil([&head] { return head.done.load(std::memory_order_acquire); });
}

void OrderedItems::ReleaseHead() {
  std::unique_ptr<Entry> entry = std::move(pending_.front());
  pending_.pop_front();
  Destination base{walk_.folder, MessageSink{walk_.sink.channel, walkHeld_}, false, walk_.limit};
  EmitMessage(base.sink, entry->held);
  if (!entry->failure) CommitOutputFile(base, entry->out);
  if (entry->to.hadErrors || base.hadErrors) walk_.hadErrors = true;
  if (entry->to.hadNotes) walk_.hadNotes = true;
  if (entry->failure && !failure_) failure_ = entry->failure;
  if (pending_.empty()) walk_.sink.held = walkHeld_;
  EmitMessage(base.sink, entry->after);
}

void OrderedItems::FinishAll() {
  while (!pending_.empty()) {
    WaitForHead();
    ReleaseHead();
  }
  if (failure_) {
    std::exception_ptr failure = failure_;
    failure_ = nullptr;
    std::rethrow_exception(failure);
  }
}
