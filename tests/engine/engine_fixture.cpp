#include "engine_fixture.h"

#include <unistd.h>

#include <algorithm>

namespace nord5::test {

std::string Hex(const Bytes& b) {
  std::string out;
  char text[4];
  for (std::size_t i = 0; i < b.size(); ++i) {
    std::snprintf(text, sizeof text, "%02X", b[i]);
    if (i) out += ' ';
    out += text;
  }
  return out;
}

Bytes FromHex(const std::string& text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

Bytes LongFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, const Bytes& data) {
  const auto L = static_cast<std::uint8_t>(data.size() + 3);
  Bytes f = {0x68, L, L, 0x68, c, a, ci};
  f.insert(f.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (std::size_t i = 4; i < f.size(); ++i) sum = static_cast<std::uint8_t>(sum + f[i]);
  f.push_back(sum);
  f.push_back(0x16);
  return f;
}

Bytes MemoryAnswer(const Bytes& data, std::uint8_t a) {
  Bytes body = {0x00};
  body.insert(body.end(), data.begin(), data.end());
  return LongFrame(0x08, a, 0x72, body);
}

void ScriptedWire::Written(const std::uint8_t* data, std::size_t n) {
  const std::int64_t now = clock_.NowMs();
  Bytes telegram(data, data + n);
  sent.push_back({now, telegram});
  std::vector<Due> due;
  if (echo) due.push_back({now + 5, telegram});
  if (responder)
    for (auto& r : responder(telegram, static_cast<int>(sent.size()) - 1))
      due.push_back({now + r.delay, std::move(r.bytes)});
  for (auto& d : due) {
    auto it = std::upper_bound(pending_.begin(), pending_.end(), d.at,
                               [](std::int64_t at, const Due& x) { return at < x.at; });
    pending_.insert(it, std::move(d));
  }
}

long ScriptedWire::Available() {
  if (pending_.empty() || pending_.front().at > clock_.NowMs()) return 0;
  return static_cast<long>(pending_.front().bytes.size());
}

long ScriptedWire::Read(std::uint8_t* data, std::size_t capacity) {
  if (Available() == 0) return 0;
  Bytes& front = pending_.front().bytes;
  const std::size_t n = std::min(capacity, front.size());
  std::copy_n(front.begin(), n, data);
  received.push_back({clock_.NowMs(), Bytes(front.begin(), front.begin() + static_cast<long>(n))});
  front.erase(front.begin(), front.begin() + static_cast<long>(n));
  if (front.empty()) pending_.pop_front();
  return static_cast<long>(n);
}

Responder MeterResponder(sim::VirtualMeter& meter, int chunks, std::int64_t delay) {
  return [&meter, chunks, delay](const Bytes& telegram, int) {
    const Bytes answer = meter.Handle(telegram);
    std::vector<Reply> out;
    if (answer.empty()) return out;
    const std::size_t pieces = static_cast<std::size_t>(std::max(1, chunks));
    const std::size_t size = (answer.size() + pieces - 1) / pieces;
    std::int64_t at = delay;
    for (std::size_t i = 0; i < answer.size(); i += size, at += 20)
      out.push_back(
          {at, Bytes(answer.begin() + static_cast<long>(i),
                     answer.begin() + static_cast<long>(std::min(answer.size(), i + size)))});
    return out;
  };
}

EngineBench::EngineBench() {
  // Each settings access replaces the file safely; on a memory file system that costs nothing.
  const std::filesystem::path folder = std::filesystem::exists("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
  settings_ = folder / ("nord5-engine-test-" + std::to_string(::getpid()) + ".ini");
  SetSettingsFileForTesting(settings_.string());
  PortDiscovery where;
  where.SysTtyRoot = "/nonexistent-nord5-tty";
  where.WithVirtualPorts = false;
  auto list = std::make_unique<TPortList>(where);
  list->AddExtraPort(kPort);
  port = std::make_unique<TCommPort>(
      clock, timers,
      [this](const std::string& name) -> std::unique_ptr<SerialLine> {
        if (name != kPort) return nullptr;
        return std::make_unique<ScriptedLine>(wire);
      },
      std::move(list));
  port->SetPort(kPort);
  engine = std::make_unique<TProtocolEngine>(host, *port, clock);
  engine->Install();
  clock.SetNow(10000);  // the line has been idle for a while
  started_at = clock.NowMs();
  CurrentImage() = MeterImage{};
  ScratchBuffer().fill(0);
}

EngineBench::~EngineBench() {
  engine.reset();
  port.reset();
  std::error_code ec;
  std::filesystem::remove(settings_, ec);
}

void EngineBench::RunUntilIdle(std::int64_t limit_ms) {
  const std::int64_t end = clock.NowMs() + limit_ms;
  while (port->IsOpen() && clock.NowMs() < end) timers.RunFor(1);
}

std::vector<std::string> EngineBench::SentHex() const {
  std::vector<std::string> out;
  for (const auto& s : wire.sent) out.push_back(Hex(s.bytes));
  return out;
}

std::vector<std::int64_t> EngineBench::Gaps() const {
  std::vector<std::int64_t> out;
  std::int64_t last = started_at;
  for (const auto& s : wire.sent) {
    out.push_back(s.at - last);
    last = s.at;
  }
  return out;
}

std::vector<std::int64_t> EngineBench::GapsAfterAnswers() const {
  std::vector<std::int64_t> out;
  for (std::size_t i = 1; i < wire.sent.size(); ++i) {
    std::int64_t last = -1;
    for (const auto& r : wire.received)
      if (r.at >= wire.sent[i - 1].at && r.at <= wire.sent[i].at) last = r.at;
    out.push_back(last < 0 ? -1 : wire.sent[i].at - last);
  }
  return out;
}

}  // namespace nord5::test
