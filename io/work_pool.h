// A fixed set of worker threads taking tasks first in, first out. A thread
// that waits for a task's result helps by running queued tasks itself, so
// waiting never leaves a processor idle and a pool shared by several
// conversions cannot deadlock.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkPool {
 public:
  explicit WorkPool(int threads);
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  void Submit(std::function<void()> task);
  // Runs one queued task on the calling thread; false when none is queued.
  bool RunOne();
  // Blocks until `ready()` holds, running queued tasks meanwhile. `ready` is
  // evaluated under the pool's lock; tasks that make it true call Notify.
  void WaitUntil(const std::function<bool()>& ready);
  void Notify();

 private:
  void WorkerLoop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;
  std::vector<std::thread> threads_;
  bool stopping_ = false;
};

// How a conversion may run in parallel: the pool its file items go to
// (nullptr: everything on the calling thread) and how many threads in all it
// keeps busy, the calling thread included. A pool of `threads - 1` workers
// plus the calling thread is what `-jobs threads` means.
struct Parallelism {
  WorkPool* pool = nullptr;
  int threads = 1;
};

// The processors this process may run on (sched_getaffinity), at least 1.
int AvailableProcessors();
