// The quantity table: name, unit and bookkeeping of every quantity code, in code order.
#include "mbus/quantities.h"

namespace nord5 {

namespace {
using A = TAccount;
using P = TParametersTypes;
}  // namespace

constexpr std::array<QuantityRow, kTReiksmesCount> QuantityTable = {{
    {"Received time", "", A::acc_NoOper, P::wsr_Time, 0, 0, false},  // 0 rmNone
    {"Energy", "Wh", A::acc_SUB, P::wsr_Energy, 1, 1, true},  // 1 rmEnergy_Wh
    {"Energy", "J", A::acc_SUB, P::wsr_Energy, 1, 1, true},  // 2 rmEnergy_J
    {"Volume", "m3", A::acc_SUB, P::wsr_Volume, 1, 1, true},  // 3 rmVolume_m3
    {"Mass", "kg", A::acc_SUB, P::wsr_Mass, 1, 1, true},  // 4 rmMass_kg
    {"OnTime", "ss", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 5 rmTime_ss
    {"OnTime", "min", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 6 rmTime_min
    {"OnTime", "hour", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 7 rmTime_hour
    {"OnTime", "days", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 8 rmTime_days
    {"Operation Time", "ss", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 9 rmOper_ss
    {"Operation Time", "min", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 10 rmOper_min
    {"Operation Time", "hour", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 11 rmOper_hour
    {"Operation Time", "days", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 12 rmOper_days
    {"Power", "W", A::acc_Mean, P::wsr_Power, 1, 1, false},  // 13 rmPower_W
    {"Power", "J/h", A::acc_Mean, P::wsr_Power, 1, 1, false},  // 14 rmPower_J_h
    {"Flow", "m3/h", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 15 rmVolumeFlow_m3_h
    {"Flow", "m3/min", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 16 rmVolumeFlowExt_m3_min
    {"Flow", "m3/s", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 17 rmVolumeFlowExt_m3_s
    {"Flow", "kg/h", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 18 rmMassFlow_kg_h
    {"Flow temperature", "°C", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 19 rmFlowTemper_C
    {"Return temperature", "°C", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 20 rmRetTemper_C
    {"Temperature difference", "K", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 21 rmTemperDiff_K
    {"extT", "°C", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 22 rmExtTemper_C
    {"Pressure", "bar", A::acc_Mean, P::wsr_Press, 1, 1, false},  // 23 rmPressure_bar
    {"Date", "", A::acc_NoOper, P::wsr_Time, 1, 0, true},  // 24 rmTimePoint_0
    {"Timestamp", "", A::acc_SUB, P::wsr_Time, 1, 0, false},  // 25 rmTimePoint_1
    {"H.C.A", "H.C.A.", A::acc_SUB, P::wsr_Energy, 1, 1, true},  // 26 rmH_C_A
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 27 rmR1
    {"Aver. Duration", "ss", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 28 rmAver_ss
    {"Aver. Duration", "min", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 29 rmAver_min
    {"Aver. Duration", "hour", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 30 rmAver_hour
    {"Aver. Duration", "days", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 31 rmAver_days
    {"Actualy Duration", "ss", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 32 rmActualy_ss
    {"Actualy Duration", "min", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 33 rmActualy_min
    {"Actualy Duration", "hour", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 34 rmActualy_hour
    {"Actualy Duration", "days", A::acc_SUB, P::wsr_Run, 1, 0, true},  // 35 rmActualy_days
    {"Fabrication No", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 36 rmFabricationNo
    {"Enhanced", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 37 rmEnhanced
    {"Bus Address", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 38 rmBusAddress
    {"Energy", "MWh", A::acc_SUB, P::wsr_Energy, 1, 1, true},  // 39 rmEnergy_MWh
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 40 rmR2
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 41 rmR3
    {"Energy", "GJ", A::acc_SUB, P::wsr_Energy, 1, 1, true},  // 42 rmEnergy_GJ
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 43 rmR4
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 44 rmR5
    {"Volume", "m3", A::acc_SUB, P::wsr_Volume, 1, 1, true},  // 45 rmVolume_m3_100
    {"Error", "", A::acc_NoOper, P::wsr_Status, 1, 0, false},  // 46 rmError
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 47 rmR6
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 48 rmR7
    {"Mass", "t", A::acc_SUB, P::wsr_Mass, 1, 1, true},  // 49 rmMass_t
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 50 rmR8
    {"Volume", "feet3", A::acc_SUB, P::wsr_Volume, 1, 1, true},  // 51 rmVolume_feet3
    {"Volume", "gallon", A::acc_SUB, P::wsr_Volume, 1, 1, true},  // 52 rmVolume_amgallon_01
    {"Volume", "gallon", A::acc_SUB, P::wsr_Volume, 1, 1, true},  // 53 rmVolume_amgallon_1
    {"Flow", "gallon/min", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 54 rmVolumeGallon_min0001
    {"Flow", "gallon/min", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 55 rmVolumeGallon_min1
    {"Flow", "gallon/h", A::acc_Mean, P::wsr_Flow, 1, 1, false},  // 56 rmVolumeGallon_h1
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 57 rmR9
    {"Power", "MW", A::acc_Mean, P::wsr_Power, 1, 1, false},  // 58 rmPower_MW
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 59 rmR10
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 60 rmR11
    {"Power", "GJ/h", A::acc_Mean, P::wsr_Power, 1, 1, false},  // 61 rmPower_GJ_h
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 62 rmR12
    {"T11", "°F", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 63 rmFlowTemper_F
    {"T21", "°F", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 64 rmRetTemper_F
    {"dT", "°F", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 65 rmTemperDiff_F
    {"extT", "°F", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 66 rmExtTemper_F
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 67 rmR13
    {"Tlim.", "°F", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 68 rmTemperLimit_F
    {"Tlim.", "°C", A::acc_Mean, P::wsr_Temper, 1, 1, false},  // 69 rmTemperLimit_C
    {"Max. Power", "W", A::acc_Mean, P::wsr_Power, 1, 1, false},  // 70 rmMaxPower_W
    {"Credits", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 71 rmCredits
    {"Debit", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 72 rmDebit
    {"Access Number", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 73 rmAccessNumber
    {"Medium", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 74 rmMedium
    {"Manufacturer", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 75 rmManufacturer
    {"Param Identification", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 76 rmParamIdentif
    {"Model/Version", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 77 rmModelVersion
    {"Hardware version", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 78 rmHardvareVersion
    {"Firmware version", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 79 rmFirmwareVersion
    {"Software version", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 80 rmSoftwareVersion
    {"Customer location", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 81 rmCostumerLocation
    {"Costumer", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 82 rmCostumer
    {"Access Code User", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 83 rmAccessUserCode
    {"Access Code Operator", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 84 rmAccessCodeOper
    // 85 rmAccessCodeSysOper
    {"Access Code System Operator", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 86 rmAccessCodeDevel
    {"Access Code Developer", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    {"Password", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 87 rmPassword
    {"Error Flag", "", A::acc_NoOper, P::wsr_Status, 1, 0, false},  // 88 rmErrorFlag
    {"Error Mask", "", A::acc_NoOper, P::wsr_Status, 1, 0, false},  // 89 rmErrorMask
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 90 rmR14
    {"Digital Output", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 91 rmDigitalOutput
    {"Digital Input", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 92 rmDigitalInput
    {"BaudRate", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 93 rmBaudRate
    // 94 rmResponseDelayTime
    {"response delay time", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    {"Retry", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 95 rmRetry
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 96 rmR15
    {"First storage", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 97 rmFirstStorage
    {"Last storage", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 98 rmLastStorage
    {"Size of storage block", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 99 rmSizeStorage
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 100 rmR16
    {"Storage interval", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 101 rmStorageIntervalSS
    // 102 rmStorageIntervalMN
    {"Storage interval month(s)", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 103 rmStorageIntervalYR
    {"Storage interval year(s)", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 104 rmR17
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 105 rmR18
    // 106 rmDurationSince
    {"Duration since last readout", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 107 rmStartOfTariff
    {"Start (date/time) of tariff", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    {"Duration of tariff", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 108 rmDuationOfTariff
    {"Period of tariff", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 109 rmPeriodOfTariffSS
    {"Period of tariff", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 110 rmPeriodOfTariffMN
    {"Period of tariff", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 111 rmPeriodOfTariffYR
    {"Dimensionless", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 112 rmDimensionless
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 113 rmR19
    {"", "", A::acc_None, P::wsr_Index, 0, 0, false},  // 114 rmR20
    {"Volts", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 115 rmVolts
    {"Ampers", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 116 rmAmpers
    {"Reset counter", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 117 rmResetCounter
    // 118 rmCumulationCounter
    {"Cumulation counter", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    {"Control signal", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 119 rmControlSignal
    {"Day of week", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 120 rmDayOfWeek
    {"Week number", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 121 rmWeekNumber
    // 122 rmTimeOfDayChange
    {"Time point of day change", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 123 rmStateOfParamActiv
    {"State of parameter activation", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 124 rmSpecialInformation
    {"Special supplier information", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 125 rmDurationSinsceLast
    {"Duration since last cumulation", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 126 rmOperatingTimeBatt
    {"Operating time battery", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    // 127 rmDateTimeBattChange
    {"Date and time of battery change", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},
    {"Spec. value", "", A::acc_NoOper, P::wsr_Other_, 0, 0, false},  // 128 rmSpecValue
}};

static_assert(QuantityTable[Ord(TReiksmes::rmSpecValue)].Name[0] == 'S');
static_assert(QuantityTable[Ord(TReiksmes::rmErrorFlag)].MS_Parm == P::wsr_Status);

}  // namespace nord5
