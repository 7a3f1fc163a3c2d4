// Quantity codes of the data record decoder and the table that names them. The ordinals are fixed:
// archive selections and stored files refer to quantities by these numbers.
#pragma once

#include <array>
#include <cstdint>

namespace nord5 {

enum class TReiksmes : std::uint8_t {
  rmNone = 0,
  rmEnergy_Wh = 1,
  rmEnergy_J = 2,
  rmVolume_m3 = 3,
  rmMass_kg = 4,
  rmTime_ss = 5,
  rmTime_min = 6,
  rmTime_hour = 7,
  rmTime_days = 8,
  rmOper_ss = 9,
  rmOper_min = 10,
  rmOper_hour = 11,
  rmOper_days = 12,
  rmPower_W = 13,
  rmPower_J_h = 14,
  rmVolumeFlow_m3_h = 15,
  rmVolumeFlowExt_m3_min = 16,
  rmVolumeFlowExt_m3_s = 17,
  rmMassFlow_kg_h = 18,
  rmFlowTemper_C = 19,
  rmRetTemper_C = 20,
  rmTemperDiff_K = 21,
  rmExtTemper_C = 22,
  rmPressure_bar = 23,
  rmTimePoint_0 = 24,
  rmTimePoint_1 = 25,
  rmH_C_A = 26,
  rmR1 = 27,
  rmAver_ss = 28,
  rmAver_min = 29,
  rmAver_hour = 30,
  rmAver_days = 31,
  rmActualy_ss = 32,
  rmActualy_min = 33,
  rmActualy_hour = 34,
  rmActualy_days = 35,
  rmFabricationNo = 36,
  rmEnhanced = 37,
  rmBusAddress = 38,
  rmEnergy_MWh = 39,
  rmR2 = 40,
  rmR3 = 41,
  rmEnergy_GJ = 42,
  rmR4 = 43,
  rmR5 = 44,
  rmVolume_m3_100 = 45,
  rmError = 46,
  rmR6 = 47,
  rmR7 = 48,
  rmMass_t = 49,
  rmR8 = 50,
  rmVolume_feet3 = 51,
  rmVolume_amgallon_01 = 52,
  rmVolume_amgallon_1 = 53,
  rmVolumeGallon_min0001 = 54,
  rmVolumeGallon_min1 = 55,
  rmVolumeGallon_h1 = 56,
  rmR9 = 57,
  rmPower_MW = 58,
  rmR10 = 59,
  rmR11 = 60,
  rmPower_GJ_h = 61,
  rmR12 = 62,
  rmFlowTemper_F = 63,
  rmRetTemper_F = 64,
  rmTemperDiff_F = 65,
  rmExtTemper_F = 66,
  rmR13 = 67,
  rmTemperLimit_F = 68,
  rmTemperLimit_C = 69,
  rmMaxPower_W = 70,
  rmCredits = 71,
  rmDebit = 72,
  rmAccessNumber = 73,
  rmMedium = 74,
  rmManufacturer = 75,
  rmParamIdentif = 76,
  rmModelVersion = 77,
  rmHardvareVersion = 78,
  rmFirmwareVersion = 79,
  rmSoftwareVersion = 80,
  rmCostumerLocation = 81,
  rmCostumer = 82,
  rmAccessUserCode = 83,
  rmAccessCodeOper = 84,
  rmAccessCodeSysOper = 85,
  rmAccessCodeDevel = 86,
  rmPassword = 87,
  rmErrorFlag = 88,
  rmErrorMask = 89,
  rmR14 = 90,
  rmDigitalOutput = 91,
  rmDigitalInput = 92,
  rmBaudRate = 93,
  rmResponseDelayTime = 94,
  rmRetry = 95,
  rmR15 = 96,
  rmFirstStorage = 97,
  rmLastStorage = 98,
  rmSizeStorage = 99,
  rmR16 = 100,
  rmStorageIntervalSS = 101,
  rmStorageIntervalMN = 102,
  rmStorageIntervalYR = 103,
  rmR17 = 104,
  rmR18 = 105,
  rmDurationSince = 106,
  rmStartOfTariff = 107,
  rmDuationOfTariff = 108,
  rmPeriodOfTariffSS = 109,
  rmPeriodOfTariffMN = 110,
  rmPeriodOfTariffYR = 111,
  rmDimensionless = 112,
  rmR19 = 113,
  rmR20 = 114,
  rmVolts = 115,
  rmAmpers = 116,
  rmResetCounter = 117,
  rmCumulationCounter = 118,
  rmControlSignal = 119,
  rmDayOfWeek = 120,
  rmWeekNumber = 121,
  rmTimeOfDayChange = 122,
  rmStateOfParamActiv = 123,
  rmSpecialInformation = 124,
  rmDurationSinsceLast = 125,
  rmOperatingTimeBatt = 126,
  rmDateTimeBattChange = 127,
  rmSpecValue = 128,
};
inline constexpr int kTReiksmesCount = 129;

enum class TAccount : std::uint8_t {
  acc_None = 0,
  acc_Time = 1,
  acc_TimeH = 2,
  acc_TimeD = 3,
  acc_SUB = 4,
  acc_SUM = 5,
  acc_Mean = 6,
  acc_OR = 7,
  acc_AND = 8,
  acc_NoOper = 9,
};

enum class TParametersTypes : std::uint8_t {
  wsr_Index = 0,
  wsr_Time = 1,
  wsr_Energy = 2,
  wsr_Volume = 3,
  wsr_Mass = 4,
  wsr_Power = 5,
  wsr_Flow = 6,
  wsr_Temper = 7,
  wsr_Press = 8,
  wsr_Run = 9,
  wsr_Stops = 10,
  wsr_StopTime = 11,
  wsr_Status = 12,
  wsr_ERRT_ = 13,
  wsr_ERRTMI = 14,
  wsr_ERRTMA_ = 15,
  wsr_ERRTT_ = 16,
  wsr_Other_ = 17,
};

constexpr std::uint8_t Ord(TReiksmes v) { return static_cast<std::uint8_t>(v); }
// The code `steps` places after `base` (groups such as rmTime_ss .. rmTime_days).
constexpr TReiksmes CodeAfter(TReiksmes base, int steps) {
  return static_cast<TReiksmes>(Ord(base) + steps);
}

// One row of the quantity table: display name, unit and how the quantity is kept and shown.
// Units are UTF-8 ("°C").
struct QuantityRow {
  const char* Name;
  const char* Units;
  TAccount AccType;
  TParametersTypes MS_Parm;
  std::int32_t MS_Show;
  std::int32_t MS_Pic;
  bool MS_Report;
};

// Indexed by TReiksmes; 129 rows in code order.
extern const std::array<QuantityRow, kTReiksmesCount> QuantityTable;

inline const QuantityRow& Quantity(TReiksmes code) { return QuantityTable[Ord(code)]; }

}  // namespace nord5
