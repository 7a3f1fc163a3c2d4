// The protocol engine: the exchange sequencer (start, stop, repeats and time-outs), the reply
// receiver with its follow-up tables, and the operations the user starts.
//
// It never blocks: the serial driver calls OnSilence when the line has been quiet for WaitEvent
// ms (the only place that sends) and OnData for every received chunk. Install() connects both.
//
//   operation, StartStep/StartTransfer -> port opened, WaitEvent 100 ms
//   OnSilence, BuildTelegram, OutPort   -> WaitEvent 1000 ms (3000 ms for a memory write)
//   OnData, answer taken                -> next step, WaitEvent 100 ms (300 ms after a write)
//   ten telegrams without an answer     -> "Device can't answer"
//
// Window code drives it like this:
//   TProtocolEngine engine(host, port, clock);   // once, after the driver is created
//   engine.Install();                            // sets the driver's BreakEvent and CommEvent
//   engine.ReadConfiguration();                  // e.g. on "Read configuration"
// and reads State() (NoConfiguration, DeviceJumper, Running()) in its state rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine_host.h"
#include "engine/telegram.h"
#include "foundation/exchange_state.h"
#include "foundation/meter_image.h"

namespace nord5 {

class Clock;
class TCommPort;

class TProtocolEngine {
 public:
  TProtocolEngine(EngineHost& host, TCommPort& port, const Clock& clock);
  ~TProtocolEngine();
  TProtocolEngine(const TProtocolEngine&) = delete;
  TProtocolEngine& operator=(const TProtocolEngine&) = delete;

  // Sets the driver's silence handler (BreakEvent) to OnSilence and its data handler (CommEvent)
  // to OnData. The destructor removes them again.
  void Install();

  ExchangeState& State() { return state_; }
  const ExchangeState& State() const { return state_; }
  // An exchange runs (the port is open; ActiveDriver).
  bool Running() const;

  // Sequencer.
  // Opens the port for an exchange; false (after "Can't open COM port" or "Check parameters") when
  // it cannot start.
  bool StartExchange();
  // Next step `step`; with a region the transfer fields and Start_Command come from it.
  // False when the exchange could not start (StartExchange failed).
  bool StartTransfer(TMBUS_Commands step, std::int32_t memory_type, const MemoryRegion* region);
  // Next step `step` of operation `operation`; the transfer fields are cleared.
  bool StartStep(TMBUS_Commands step, TMTR07_Commands operation);
  // Reads the mode byte, checks the mode bits that `action` needs, then runs it.
  void CheckModeThen(tCommnadType action);
  // Reads the two credit counters, then shows them.
  void ReadCreditsThen(tCommnadType action);
  // Ends the exchange: status texts, port closed, progress off.
  void StopExchange();
  void SetWaitTime(std::uint32_t ms);
  void ProgressStart(std::int32_t max);
  void ProgressSet(std::int32_t value);
  void ProgressOff();

  // Driver callbacks.
  void OnSilence();
  // 1 when an acknowledgement was taken, otherwise 0.
  std::int32_t OnData(const std::uint8_t* bytes, std::int32_t count);

  // Operations: the actions and buttons of the main window.
  void ReadConfiguration();                // caReadConfiguration, F3
  void WriteConfigurationWithModeCheck();  // caCheckManufacturerJumper
  void WriteConfiguration();               // caWriteConfiguration, F4
  void SetIdentification();                // btDeviceID: mode check, then SetDeviceID
  bool SetDeviceID();                      // caSetDeviceID
  void SetPulseValue(int channel);         // btSetPulse1/btSetPulse2: mode check, then below
  bool SetPuseValue1();                    // caSetPuseValue1
  bool SetPuseValue2();                    // caSetPuseValue2
  void SetPrimaryAddress();                // btSetMBusAddress
  void SetTime();                          // btSetTime
  void ReadCredits();                      // btCredits
  void WriteUserConfiguration();           // caWriteUserConfiguration
  void WriteUserMenu();                    // caWriteUserMenu
  void TestModeOnOff();                    // caTestModeWithoutChanging
  void ReadMemory();                       // btRead
  void WriteMemory();                      // btWrite
  // btReadData: the selected archive quantities in list order (ExtCommands).
  void ReadArchive(std::vector<const tMTR7ExtParams*> selected);
  void StopArchiveReading();  // "Stop" of the archive window
  // One reading of the periodic data log; `select` sends the link initialisation and the readout
  // selection first (the first reading, and every one with "Always select data").
  void LogCycle(bool select);
  void ClosePort();  // caClosePort
  // Close guard of the main window: true when the window may close. While the port is open or
  // periodic logging runs (LoggingIdle false) it asks "Now device communicate. Close program
  // anyway?" with No as the default; an answer other than Yes keeps the window (and the exchange).
  bool ConfirmClose();

  // Pulse start value in counts: the leading digits and points of `text` divided by the unit
  // factor, rounded half to even. Empty when the text has no number or the unit is unknown.
  static std::optional<std::uint32_t> PulseCounts(const std::string& text, int unit_index);

 private:
  TelegramInputs BuilderInputs(const EngineInputs& in) const;
  void Send();
  bool AddressUsable(const EngineInputs& in);
  void TakeLongFrame(std::int32_t at, std::int32_t L);
  void DataTelegram(const std::uint8_t* frame, std::int32_t L);
  void MemoryReadAnswer(const std::uint8_t* frame, std::int32_t L);
  std::int32_t TakeAcknowledgement();
  void MemoryWriteProgress();
  void ConfigurationComplete();
  void ModeCheck();
  bool RunCheckedAction();
  bool StartRegion(TMBUS_Commands step, int row);
  bool DoWriteConfiguration();
  bool RawMemoryRegion(bool write);
  bool RefuseInput();

  EngineHost& host_;
  TCommPort& port_;
  const Clock& clock_;
  ExchangeState state_;
  bool installed_ = false;
  // Bytes available behind MemPointer (the region's buffer), so that no answer writes past it.
  std::uint32_t mem_capacity_ = 0;
  // An answer has been taken for the telegram last sent; later bytes are only collected.
  bool answer_taken_ = false;
  // DeviceTimeCorection in force for the date and time telegrams (set by the operations).
  int time_mode_ = 0;
  bool progress_visible_ = false;
  // The region of a raw memory access (address and length typed by the user).
  MemoryRegion raw_region_{TMTR07_Commands::_mtrChangeMemory, 0, 1, RegionTarget::Scratch, 0};
};

}  // namespace nord5
