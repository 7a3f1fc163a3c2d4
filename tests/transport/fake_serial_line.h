// An in-memory SerialLine for the driver's tests: the test fills the receive queue, reads what
// was sent and makes single operations fail. The state outlives the line object, so the test
// still sees it after the driver has closed or replaced the line.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "transport/comm_port.h"
#include "transport/serial_line.h"

namespace nord5::test {

struct FakeLineState {
  // Behaviour.
  std::deque<std::uint8_t> rx;  // waiting to be read
  long out_queue = 0;           // what OutQueue reports
  bool fail_open = false;
  bool fail_apply = false;
  bool fail_queue_status = false;  // InQueue/OutQueue give -1
  bool fail_read = false;          // Read gives -1 although bytes wait
  bool fail_write = false;
  bool throw_in_queue_status = false;
  int poll_fd = -1;

  // What happened.
  bool open = false;
  std::string opened_path;
  std::vector<std::string> calls;  // "open", "apply", "purge", "purge-out", "dtr1", "rts0", ...
  std::vector<std::uint8_t> sent;
  LineSettings applied;
  bool dtr = false;
  bool rts = false;
  int lines_made = 0;

  void Push(const std::vector<std::uint8_t>& bytes) {
    rx.insert(rx.end(), bytes.begin(), bytes.end());
  }
};

class FakeSerialLine final : public SerialLine {
 public:
  explicit FakeSerialLine(std::shared_ptr<FakeLineState> s) : s_(std::move(s)) {}
  bool Open(const std::string& path) override {
    s_->calls.push_back("open");
    if (s_->fail_open) return false;
    s_->open = true;
    s_->opened_path = path;
    return true;
  }
  bool IsOpen() const override { return s_->open; }
  void Close() override {
    s_->calls.push_back("close");
    s_->open = false;
  }
  bool Apply(const LineSettings& settings) override {
    s_->calls.push_back("apply");
    if (s_->fail_apply) return false;
    s_->applied = settings;
    return true;
  }
  bool SetDTR(bool on) override {
    s_->calls.push_back(on ? "dtr1" : "dtr0");
    s_->dtr = on;
    return true;
  }
  bool SetRTS(bool on) override {
    s_->calls.push_back(on ? "rts1" : "rts0");
    s_->rts = on;
    return true;
  }
  bool Purge() override {
    s_->calls.push_back("purge");
    s_->rx.clear();
    return true;
  }
  bool PurgeOutput() override {
    s_->calls.push_back("purge-out");
    return true;
  }
  long InQueue() override {
    if (s_->throw_in_queue_status) throw std::runtime_error("line gone");
    return s_->fail_queue_status ? -1 : static_cast<long>(s_->rx.size());
  }
  long OutQueue() override { return s_->fail_queue_status ? -1 : s_->out_queue; }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    s_->calls.push_back("write");
    if (s_->fail_write) return false;
    s_->sent.insert(s_->sent.end(), data, data + count);
    return true;
  }
  long Read(std::uint8_t* data, std::size_t capacity) override {
    if (s_->fail_read) return -1;
    std::size_t n = 0;
    while (n < capacity && !s_->rx.empty()) {
      data[n++] = s_->rx.front();
      s_->rx.pop_front();
    }
    return static_cast<long>(n);
  }
  int PollFd() const override { return s_->poll_fd; }

 private:
  std::shared_ptr<FakeLineState> s_;
};

// A factory serving every name with a fake line over `state`, counting the lines it makes.
inline SerialLineFactory FakeLineFactory(std::shared_ptr<FakeLineState> state) {
  return [state](const std::string&) -> std::unique_ptr<SerialLine> {
    ++state->lines_made;
    return std::make_unique<FakeSerialLine>(state);
  };
}

}  // namespace nord5::test
