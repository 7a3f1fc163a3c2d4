// Periodic data logging: the meter's data telegram is read again and again and every reading
// becomes one line of a ';'-separated text file that a spreadsheet opens.
//
//   Start(file, "10")      -> first reading at once (link start-up, readout selection, data)
//   reading answered       -> LogDeviceRecord appends the line, the pause timer starts
//   timer (10 s later)     -> next reading (with or without the link start-up)
//   meter silent           -> "Timeout" lines from the third request on; after ten requests
//                             "Repeat log command" and the engine starts the reading again
//   Stop()                 -> timer off, exchange ended
//
// The file is UTF-8 with CR LF line ends. Every line is appended with the file opened and closed
// again, so another program may read it between two readings. No Qt: the desktop window and
// nord5-cli both drive it through the engine's host and the Timers and Clock seams.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/timers.h"
#include "mbus/records.h"

namespace nord5 {

inline constexpr const char* kTextLogDialogTitle = "Log device data";
inline constexpr const char* kTextLogFilter = "Excel csv (*.csv)|*.csv|All files (*.*)|*.*";
inline constexpr const char* kTextLogRewrite = "File name exists.\r\"%s\"\r rewrite?";
inline constexpr const char* kTextReceivedCount = "Received count: %d";
inline constexpr const char* kTextLoggingStop = "Logging data stop";
inline constexpr const char* kLogFolderSetting = "LogDeviceData";

// One field of a header or data line: empty stays empty; a field with a blank, a control
// character, a double quote or a ';' is put in double quotes with inner quotes doubled.
std::string LogField(const std::string& text);
// A value as the log writes it: the text read as a number with '.' and truncated toward zero
// ("12.345" -> "12", "-0.9" -> "0"); "" for anything that is not a number (a date, "- - -", a
// hexadecimal code with a letter).
std::string LogValue(const std::string& value_text);
// "Time;DeviceID,;Energy,kWh;..." (no line end).
std::string LogHeaderLine(const TFullRecord& DR);
// "\"2024-03-15 13:45:00\";12345678;12;..." (no line end).
std::string LogDataLine(const DateTime& when, const TFullRecord& DR);
// "2024-03-15 13:45:00;Timeout": the date and time never quoted.
std::string LogEventLine(const DateTime& when, const std::string& text);
// The "Received count: %d" text.
std::string ReceivedCountText(int count);

// Opens `file` for appending (creating it), writes `text` and CR LF in one write, closes it.
// False when the file cannot be opened or written; never blocks on a FIFO without a reader.
bool AppendLine(const std::string& file, const std::string& text);

// The pause between readings in ms: the digits of "Time, sec.:" x 1000; 1000 when the text is
// no number. 0 stays 0 (the timer then never fires, and only the first reading is made).
std::int64_t LogIntervalMs(const std::string& seconds_text);

// The save dialog of "Logging data" and its rewrite question. Gives the file to log into, or
// nothing when the dialog was cancelled or the question answered No. On Yes the old file is
// deleted (a path that is no regular file is refused with a message). The folder is remembered
// in "LogDeviceData"; `default_folder` is used while that setting is missing.
std::optional<std::string> ChooseLogFile(Dialogs& dialogs, const std::string& default_folder);

class TDataLogger {
 public:
  TDataLogger(TProtocolEngine& engine, Timers& timers, const Clock& clock);
  ~TDataLogger();
  TDataLogger(const TDataLogger&) = delete;
  TDataLogger& operator=(const TDataLogger&) = delete;

  // Starts logging into `file` (already chosen): count 0, logging flag on, the first reading
  // at once; then the pause := `interval_ms` (0: no further reading).
  void Start(const std::string& file, std::int64_t interval_ms);
  // Timer off, flag off, exchange ended. True when logging was on (the window then says
  // "Logging data stop").
  bool Stop();
  // The logging flag (the tag of the logging timer): on from Start to Stop.
  bool Active() const { return active_; }
  int ReceiveCount() const { return receive_count_; }
  const std::string& FileName() const { return file_; }
  std::int64_t IntervalMs() const { return interval_ms_; }

  // Engine host hooks.
  // DecodeMBusData with LogDeviceRecord over one data answer.
  void DecodeLogRecord(const std::uint8_t* frame, int limit);
  // One reading: to the archive window (when fed), the header for a new file, the data line,
  // the count. A line that cannot be written is lost and not counted. Gives true.
  bool LogDeviceRecord(std::int32_t ID, std::int32_t MBusA, const TFullRecord& DR);
  // An event line; false when it could not be written.
  bool LogEvent(const std::string& text);
  // Enables the pause timer after a reading.
  void StartTimer();

  // Whether every reading begins with the link start-up ("Always select data"); default yes.
  std::function<bool()> always_select;
  // The second status panel ("Received count: %d").
  std::function<void(const std::string&)> show_status;
  // The archive window's FillArray while it is open.
  std::function<void(const TFullRecord&)> feed;
  // After each reading that was written (the command line counts its readings with it).
  std::function<void(int count)> on_reading;

 private:
  void OnTimer();

  TProtocolEngine& engine_;
  Timers& timers_;
  const Clock& clock_;
  bool active_ = false;
  int receive_count_ = 0;
  std::string file_;
  std::int64_t interval_ms_ = 1000;
  std::optional<TimerId> timer_;
};

}  // namespace nord5
