// A decoded data telegram: the records of the decoder and the list handed to its consumers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "foundation/clock.h"
#include "mbus/quantities.h"

namespace nord5 {

// A value as the decoder keeps it: nothing, an integer, a real, a date-time or a text.
using TVariant = std::variant<std::monostate, std::int64_t, double, DateTime, std::string>;

// The text of a value: integers in decimal, reals in the general format with the decimal
// separator in force (see decoder.h), date-times by FormatDateTimeText, nothing as "".
std::string VariantToText(const TVariant& v);
// The value as a real: integers and reals; 0 for anything else.
double VariantToDouble(const TVariant& v);

inline constexpr int kMaxNameLength = 250;   // bytes
inline constexpr int kMaxUnitsLength = 30;   // bytes
inline constexpr int kMaxDecodedEntries = 101;  // the identification entry and 100 records

// One displayable quantity.
struct TTableRecord {
  std::int32_t Index = 0;   // position in its list, from 1
  std::string Name;         // at most kMaxNameLength bytes
  std::string Units;        // at most kMaxUnitsLength bytes, "" when none
  TVariant Value;           // displayed value, after scaling and formatting
  TVariant iValue;          // raw value of the data field
  std::vector<std::uint8_t> iDIF;  // header bytes as received: DIF, DIFEs, VIF, VIFEs
  TVariant iMul;            // scale factor applied (a real)
  std::int32_t InsType = 0;
  TAccount AccType = TAccount::acc_None;
  TParametersTypes MS_Parm = TParametersTypes::wsr_Index;
  std::int32_t MS_Show = 0;
  std::int32_t MS_Pic = 0;
  bool MS_Report = false;
  std::string LinkField;
  std::string LinkTable;
  // Where the entry's bytes lie in the frame (offset from the first 0x68, byte count): the whole
  // record from DIF to the end of its data field; for "DeviceID" the four identification bytes.
  std::int32_t Offset = 0;
  std::int32_t Length = 0;
};

struct TFullRecord {
  std::int32_t Count = 0;  // the first Count entries of Rec are valid
  std::array<TTableRecord, kMaxDecodedEntries> Rec;
};
using PFullRecord = TFullRecord*;

// The working state of one data record while it is decoded.
struct T_Value {
  std::int32_t Index = 0;       // read cursor, offset from the first 0x68 of the frame
  std::int32_t ValFunc = 0;     // 0 instantaneous, 1 maximum, 2 minimum, 3 during error state
  std::int64_t ValUnit = 0;     // subunit
  std::int64_t ValTariff = 0;
  std::int64_t ValStorage = 0;
  std::int32_t ValSize = 0;     // data field code; LVAR for variable length; 4 for a real
  TVariant Value;
  std::int32_t ValByteSize = 0; // data length of a fixed-length field
  double Daug = 1.0;            // scale factor
  TReiksmes Reik = TReiksmes::rmNone;
  TReiksmes ExtReik = TReiksmes::rmNone;  // the code a duration VIFE displaced
  std::string ExtName;          // description assembled from the VIFEs
  std::vector<std::uint8_t> DIF;  // header bytes
  TTableRecord FullNames;
};

struct tMBUS_Record {
  T_Value Conf;
  TTableRecord Data;
};

struct tMBUS_RecArray {
  std::int32_t Count = 0;
  std::array<tMBUS_Record, kMaxDecodedEntries> Rec;
};

}  // namespace nord5
