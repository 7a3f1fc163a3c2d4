#include "meterdata/data_logging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <exception>
#include <span>

#include "foundation/atomic_file.h"
#include "foundation/number_format.h"
#include "foundation/settings.h"
#include "mbus/dates.h"
#include "mbus/decoder.h"

namespace nord5 {

std::string LogField(const std::string& text) {
  bool quote = false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '"' || c == ';') {
      quote = true;
      break;
    }
  }
  if (!quote) return text;
  std::string out = "\"";
  for (const char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

std::string LogValue(const std::string& value_text) {
  const auto v = ParseFloat(value_text);
  if (!v || !std::isfinite(*v)) return {};
  const double t = std::trunc(*v);
  if (t == 0) return "0";  // also -0.9, which would print as "-0"
  char text[400];
  std::snprintf(text, sizeof text, "%.0f", t);
  return text;
}

std::string LogHeaderLine(const TFullRecord& DR) {
  std::string line = LogField("Time");
  for (int i = 0; i < DR.Count; ++i) {
    const TTableRecord& r = DR.Rec[static_cast<std::size_t>(i)];
    line += ';';
    line += LogField(r.Name + "," + r.Units);
  }
  return line;
}

std::string LogDataLine(const DateTime& when, const TFullRecord& DR) {
  std::string line = LogField(FormatDateAndTime(when));
  for (int i = 0; i < DR.Count; ++i) {
    line += ';';
    line += LogField(LogValue(VariantToText(DR.Rec[static_cast<std::size_t>(i)].Value)));
  }
  return line;
}

std::string LogEventLine(const DateTime& when, const std::string& text) {
  return FormatDateAndTime(when) + ";" + text;
}

std::string ReceivedCountText(int count) {
  char text[64];
  std::snprintf(text, sizeof text, kTextReceivedCount, count);
  return text;
}

bool AppendLine(const std::string& file, const std::string& text) {
  if (file.empty()) return false;
  // Non-blocking: a FIFO without a reader fails at once instead of hanging the program.
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string line = text + "\r\n";
  // One write per line, so a reader never sees half a line from us (short writes are finished).
  std::size_t done = 0;
  bool ok = true;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

std::int64_t LogIntervalMs(const std::string& seconds_text) {
  const auto v = ParseInt(seconds_text);
  if (!v) return 1000;
  // The field takes digits only; more than 100 days is clamped rather than overflowing.
  constexpr long long kMaxSeconds = 100LL * 24 * 3600;
  const long long s = *v < 0 ? 0 : (*v > kMaxSeconds ? kMaxSeconds : *v);
  return static_cast<std::int64_t>(s) * 1000;
}

std::optional<std::string> ChooseLogFile(Dialogs& dialogs, const std::string& default_folder) {
  FileDialogRequest req;
  req.Save = true;
  req.Title = kTextLogDialogTitle;
  req.Folder = SettingsValue(SettingsMode::Read, kLogFolderSetting, default_folder).Text();
  req.DefaultExt = "txt";
  req.Filter = kTextLogFilter;
  req.FilterIndex = 1;
  const auto chosen = dialogs.FileDialog(req);
  if (!chosen || chosen->Path.empty()) return std::nullopt;
  const std::string& path = chosen->Path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    std::string question = kTextLogRewrite;
    question.replace(question.find("%s"), 2, path);
    if (!dialogs.AskYesNo(question)) return std::nullopt;
    // Only a regular file is deleted: a folder, a device or a FIFO given as the log file is not.
    if (!S_ISREG(st.st_mode) || ::unlink(path.c_str()) != 0) {
      dialogs.Error("Cannot rewrite \"" + path + "\"");
      return std::nullopt;
    }
  }
  SettingsValue(SettingsMode::Write, kLogFolderSetting, FolderOf(path));
  return path;
}

TDataLogger::TDataLogger(TProtocolEngine& engine, Timers& timers, const Clock& clock)
    : engine_(engine), timers_(timers), clock_(clock) {}

TDataLogger::~TDataLogger() {
  if (timer_) timers_.Stop(*timer_);
}

void TDataLogger::Start(const std::string& file, std::int64_t interval_ms) {
  receive_count_ = 0;
  if (show_status) show_status(ReceivedCountText(receive_count_));
  file_ = file;
  active_ = true;
  engine_.LogCycle(true);
  interval_ms_ = interval_ms;
}

bool TDataLogger::Stop() {
  if (timer_) timers_.Stop(*timer_);
  timer_.reset();
  const bool was = active_;
  active_ = false;
  engine_.StopExchange();
  return was;
}

void TDataLogger::DecodeLogRecord(const std::uint8_t* frame, int limit) {
  DecodeMBusData(std::span<const std::uint8_t>(frame, static_cast<std::size_t>(limit) + 2), limit,
                 false, [this](std::int32_t ID, std::int32_t MBusA, const TFullRecord& DR) {
                   return LogDeviceRecord(ID, MBusA, DR);
                 });
}

bool TDataLogger::LogDeviceRecord(std::int32_t, std::int32_t, const TFullRecord& DR) {
  try {
    if (feed) feed(DR);
  } catch (const std::exception&) {
    // The archive window's failure does not cost the file its line.
  }
  struct stat st {};
  if (::stat(file_.c_str(), &st) != 0 && !AppendLine(file_, LogHeaderLine(DR))) return true;
  if (!AppendLine(file_, LogDataLine(clock_.LocalTime(), DR))) return true;
  ++receive_count_;
  if (show_status) show_status(ReceivedCountText(receive_count_));
  if (on_reading) on_reading(receive_count_);
  return true;
}

bool TDataLogger::LogEvent(const std::string& text) {
  return AppendLine(file_, LogEventLine(clock_.LocalTime(), text));
}

void TDataLogger::StartTimer() {
  if (timer_) timers_.Stop(*timer_);
  timer_.reset();
  // A pause of 0 never fires, as a timer with no interval.
  if (!active_ || interval_ms_ <= 0) return;
  timer_ = timers_.Start(interval_ms_, false, [this] { OnTimer(); });
}

void TDataLogger::OnTimer() {
  timer_.reset();
  if (!active_) return;
  engine_.LogCycle(!always_select || always_select());
}

}  // namespace nord5
