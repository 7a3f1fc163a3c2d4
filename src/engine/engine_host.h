// What the protocol engine needs from the window that hosts it (the desktop main window, the
// command-line front end, or a test): the values of a few controls, the status bar, the message
// boxes, the live-value and archive views, and the procedures of the parameter model.
//
// Everything is called on the GUI thread from inside an engine call (an operation or one of the
// driver's two callbacks). The engine never keeps a reference to anything it gets from here.
#pragma once

#include <cstdint>
#include <string>

#include "engine/telegram.h"

namespace nord5 {

class Dialogs;

// The control values an operation reads when it starts (and the builder at every telegram).
struct EngineInputs {
  // Address box and its two options ("MBus addr.:" / "Device ID  :").
  AddressMode Mode = AddressMode::Primary;
  std::string AddressText = "254";
  // "Read data": archive kind list `cbReadData` (0 "Current data" .. 5 "Sensors") and the record
  // count `edRecordCount` (digits; not a number or 0 reads until stopped).
  int ArchiveKind = 0;
  std::string RecordCountText = "0";
  // Pulse channels: start values `edPulseInput1`/`edPulseInput2` and unit lists
  // `pio_vif1`/`pio_vif2`.
  std::string PulseText1;
  std::string PulseText2;
  int PulseUnit1 = 0;
  int PulseUnit2 = 0;
  // `cbTimeCorrection`: 0 "time not correct", 1 "Local time", 2 "CET time".
  int TimeCorrection = 0;
  // "MBusAddrType" of the program settings: the primary-address rule (0..4).
  int MBusAddrType = 0;
  // Identification `textActDeviceID` (8 hex digits) and primary address `textActMBusAddr`.
  std::string DeviceIdText;
  std::string MBusAddrText;
  // Raw memory access: `edAddr`, "Addr HEX" `cbAddrHEX`, `spByte` (1..4), `edValue`, "Data HEX"
  // `cbDataHEX`.
  std::string MemAddrText;
  bool MemAddrHex = false;
  int MemBytes = 1;
  std::string MemValueText;
  bool MemDataHex = false;
  // "Logging data" `cbLogingData` is checked.
  bool LoggingChecked = false;
};

// The fixed header of a data telegram (bytes 11 to 15 from the first 68h).
struct DataHeader {
  std::uint16_t Manufacturer = 0;  // raw EN 13757-3 code; DecodeManufacturer gives the letters
  std::uint8_t Version = 0;
  std::uint8_t Medium = 0;
  std::uint8_t AccessNumber = 0;
};

class EngineHost {
 public:
  virtual ~EngineHost() = default;

  // Message boxes. Texts are the program's own ("Device can't answer", "Repeat connection?" ...).
  virtual Dialogs& GetDialogs() = 0;
  // Current values of the input controls.
  virtual EngineInputs Inputs() = 0;

  // Status bar.
  // panel 0: the step being sent ("Request data", empty when idle); panel 1: "Done" and the like.
  virtual void SetStatusText(int panel, const std::string& text) {
    (void)panel;
    (void)text;
  }
  // The second panel as a progress bar (visible) or text again (not visible).
  virtual void ShowProgress(bool visible, int value, int max) {
    (void)visible;
    (void)value;
    (void)max;
  }

  // Communication log and data log.
  // TraceText of the communication log; `text` may start with "\r" (a line break).
  virtual void TraceText(const std::string& text) { (void)text; }
  // LogEvent of the data log ("Timeout", "Repeat log command").
  virtual void LogEvent(const std::string& text) { (void)text; }

  // Periodic logging: the logging timer and its check box.
  // The logging timer's tag is 0 (no periodic logging active).
  virtual bool LoggingIdle() { return true; }
  // Unchecks `cbLogingData` (its handler stops the logging).
  virtual void UncheckLogging() {}
  // Enables the logging timer after one logged reading.
  virtual void StartLoggingTimer() {}

  // Data telegrams. `frame` starts at the first 68h and holds limit + 2 bytes; `limit` (L + 4) is
  // the offset of the check sum. The host hands it to DecodeMBusData with the handler named.
  // edMedium, edDevVersion, edAccNo (2 hex digits each), edManufac and edManufacture1 (the
  // letters of DecodeManufacturer; edManufacture1 without running its change handler).
  virtual void ShowDataHeader(const DataHeader& header) { (void)header; }
  // lbVersija, lbDeviceVersion1: the firmware version just read (decimal).
  virtual void ShowFirmwareVersion(std::uint32_t version) { (void)version; }
  // DecodeMBusData(frame, limit, false, DecodingCurrentMeterData): the "Actual" tab.
  virtual void DecodeCurrentData(const std::uint8_t* frame, int limit) {
    (void)frame;
    (void)limit;
  }
  // DecodeMBusData(frame, limit, true, ShowArchiveRecord): one archive answer into the grid.
  virtual void DecodeArchiveRecord(const std::uint8_t* frame, int limit) {
    (void)frame;
    (void)limit;
  }
  // DecodeMBusData(frame, limit, false, LogDeviceRecord): one line of the data log.
  virtual void DecodeLogRecord(const std::uint8_t* frame, int limit) {
    (void)frame;
    (void)limit;
  }

  // Results of memory reads.
  // `edOpticalCredits`, `edMBusCredits`, each as 8 upper-case hexadecimal digits.
  virtual void ShowCredits(const std::string& optical, const std::string& mbus) {
    (void)optical;
    (void)mbus;
  }
  // `edValue` after a raw memory read (hexadecimal with two digits a byte, or decimal).
  virtual void ShowMemoryValue(const std::string& text) { (void)text; }

  // Procedures of the parameter model.
  // Focus the data pages (read and write configuration start with it).
  virtual void FocusDataPages() {}
  // ClearParameterDisplay: clear the shown calibration data before a configuration is read.
  virtual void ClearConfigurationDisplay() {}
  // ShowMeterImage: fill every configuration control from CurrentImage(); then repaint.
  virtual void ShowMeterImage() {}
  // StoreUserConfiguration: collect the user configuration from the screen into CurrentImage().
  // False after it has shown "Bad parameters".
  virtual bool CollectUserConfiguration() { return true; }
  // RefreshMTR07Menu on the (already cleared) user menu mask of CurrentImage().
  virtual void RebuildUserMenuMask() {}
  // Everything a full configuration write needs from the screen, in this order: clear the 16-byte
  // user menu mask of CurrentImage() and rebuild it (RefreshMTR07Menu), StoreUserConfiguration,
  // StoreFlowCoefficients, StoreTemperatureCoefficients, StoreAdvancedGrid (firmware 16051017 or
  // higher in advanced mode). False after one of them has shown "Bad parameters". The engine
  // refreshes the three inner check sums afterwards.
  virtual bool PrepareImageForWrite() { return true; }

  // End of an exchange: called by StopExchange after the port has been closed (the window
  // re-evaluates its state rules; the command-line loop ends).
  virtual void ExchangeStopped() {}
};

}  // namespace nord5
