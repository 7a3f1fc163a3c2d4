// The engine's own texts: message boxes, status panel and log entries.
#pragma once

#include <string_view>

namespace nord5 {

inline constexpr std::string_view kTextCantOpenPort = "Can't open COM port";
inline constexpr std::string_view kTextDeviceCantAnswer = "Device can't answer";
inline constexpr std::string_view kTextCheckParameters = "Check parameters";
inline constexpr std::string_view kTextBadParameters = "Bad parameters";
inline constexpr std::string_view kTextRepeatConnection = "Repeat connection?";
inline constexpr std::string_view kTextCheckManufacturerJumper = "Check manufacturer jumper";
inline constexpr std::string_view kTextCheckManufacturerOrTestJumper =
    "Check manufacturer or test jumper";
inline constexpr std::string_view kTextCloseAnyway =
    "Now device communicate. Close program anyway?";
inline constexpr std::string_view kTextDone = "Done";
inline constexpr std::string_view kTextTimeOutTrace = "\rTimeOut";
inline constexpr std::string_view kTextLogTimeout = "Timeout";
inline constexpr std::string_view kTextLogRepeat = "Repeat log command";

}  // namespace nord5
