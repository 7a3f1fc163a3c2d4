// Running a function on the GUI thread, from a worker thread.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace nord5 {

class Dispatcher {
 public:
  virtual ~Dispatcher() = default;
  // Queues `fn` to run on the GUI thread; safe to call from any thread.
  virtual void Post(std::function<void()> fn) = 0;
};

// A queue that the test (or a CLI loop) drains on its own thread.
class QueueDispatcher final : public Dispatcher {
 public:
  void Post(std::function<void()> fn) override {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  // Runs everything queued so far (and what those functions queue); returns how many ran.
  int RunPending() {
    int n = 0;
    for (;;) {
      std::function<void()> fn;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return n;
        fn = std::move(queue_.front());
        queue_.pop_front();
      }
      fn();
      ++n;
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace nord5
