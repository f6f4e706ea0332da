// The files of one conversion, formatted and written by a pool of workers and
// released in the order they were started.
//
// Each item gets a Destination of its own whose messages are held; when every
// item started before it has been released, its messages go to the
// conversion's log, its file is renamed into place (a later file of the same
// name replaces an earlier one, as in a run on one thread) and its errors
// count for the run. Messages the caller logs between items are held behind
// the items started so far. So the console, the log, every file and the exit
// status are the same for any number of workers. The run's output limit is
// counted at release, in start order, for the same reason; once it is reached
// the items not yet released are dropped with their messages.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "io/destination.h"
#include "io/output_file.h"

#include "io/work_pool.h"

using ItemWork = std::function<void(Destination& to, OutputFile& out)>;

class OrderedItems {
 public:
  // `walk` is the conversion's own Destination. With no pool every item runs
  // at once on the calling thread. At most two items per thread are started
  // and not yet released.
  OrderedItems(Destination& walk, const Parallelism& parallel);
  ~OrderedItems();
  OrderedItems(const OrderedItems&) = delete;
  OrderedItems& operator=(const OrderedItems&) = delete;

  // Takes the opened file; `work` fills it (or abandons it) and is run with
  // the item's Destination. The file is finished by the worker and committed
  // at release. Once the output limit is reached the file is abandoned here.
  void Start(OutputFile&& out, ItemWork work);
  // Waits for every item and releases them. Rethrows the first exception an
  // item's work let escape.
  void FinishAll();

 private:
  struct Entry {
    Destination to;
    std::string held;
    std::string after;  // the caller's messages logged after this item started
    OutputFile out;
    ItemWork work;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
  };

  void Run(Entry& entry);
  void ReleaseHead();
  void WaitForHead();

  Destination& walk_;
  std::string* walkHeld_;  // where the caller's messages went before any item
  WorkPool* pool_;
  size_t maxPending_;
  std::deque<std::unique_ptr<Entry>> pending_;
  std::exception_ptr failure_;
};
