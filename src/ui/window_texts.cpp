#include "ui/window_texts.h"

namespace nord5::ui {

QStringList TimeCorrectionItems() { return {"time not correct", "Local time", "CET time"}; }

QStringList NominalFlowItems() {
  return {"0.6 m3/h",  "1.0 m3/h",  "1.6 m3/h",  "1.5 m3/h",  "2.5 m3/h",  "3.5 m3/h",
          "4.0 m3/h",  "6.0 m3/h",  "6.3 m3/h",  "10.0 m3/h", "15.0 m3/h", "16.0 m3/h",
          "25.0 m3/h", "40.0 m3/h", "63.0 m3/h", "100.0 m3/h"};
}

QStringList EnergyUnitItems() { return {"0.001 Gcal", "0.001 MWh", "0.001 GJ", "0.001 kWh"}; }
QStringList DynamicRangeItems() { return {"----", "R 250", "R 400"}; }

QStringList MediumItems() {
  return {"Water",          "Norcorsin 10",   "Norcorsin 20",   "Norcorsin 30",   "Norcorsin 40",
          "Norcorsin 50",   "Norcorsin 60",   "Antifrogen L16", "Antifrogen L25", "Antifrogen L38",
          "Antifrogen L47", "Antifrogen N20", "Antifrogen N34", "Antifrogen N44", "Antifrogen N52",
          "PKL 90",         "PKL 300"};
}

QStringList TriggerItems() {
  return {"act. power, kW",
          "act. flow, m3/h",
          "flow temp., \u00B0C",
          "return temp., \u00B0C",
          "temp. diff., K",
          "time interval",
          "pulse 1",
          "pulse 2"};
}

QStringList CounterItems() { return {"heating energy", "cooling energy"}; }

QStringList PulseVifDesignItems() {
  return {"0.001 kWh, heating", "0.001 kWh, cooling", "0.1 m3, volume",
          "0.001 kWh, tariff1", "0.001 kWh, tariff2", "0.01 Wh, nowa1",
          "0.01 m3, nowa2",     "output L1",          "output L2"};
}

QStringList ReadDataItems() {
  return {"Current data",          "Hours statistic data", "Days statistic data",
          "Month  statistic data", "Set day data",         "Sensors"};
}

QStringList TestParameterItems() {
  return {"write mask",
          "model modification",
          "primary mbus address",
          "device id",
          "current time",
          "energy volume counters",
          "calc configuration",
          "tariff counters",
          "tariff configuration",
          "pio counters",
          "pio configuration",
          "lcd  configuration",
          "set day configuration",
          "archive configuration",
          "ene unit configuration",
          "nowa configuration"};
}

QStringList ArchiveQuantityCaptions() {
  return {"Timestamp",
          "Error free time",
          "Error code",
          "Error date",
          "Heating registers",
          "Medium register",
          "Tarrif 1 registers",
          "Tarrif 2 registers",
          "Pulse input 1 registers",
          "Pulse input 2 registers",
          "Average power",
          "Average flow",
          "Average temperature 1",
          "Average temperature 2",
          "Average temp. diff.",
          "Min power",
          "Min power date",
          "Max power",
          "Max power date",
          "Min flow",
          "Min flow date",
          "Max flow",
          "Max flow date",
          "Min temperature 1",
          "Min temperature 1 date",
          "Max temperature 1",
          "Max temperature 1 date",
          "Min temperature 2",
          "Min temperature 2 date",
          "Max temperature 2",
          "Max temperature 2 date",
          "Min temp. diff.",
          "Min temp. diff. date",
          "Max temp. diff.",
          "Max temp. diff. date",
          "Duration of lower (flow) limit exceed",
          "Lower flow limit",
          "Duration of upper  (flow) limit exceed",
          "Upper flow limit",
          "Energy Unit Index"};
}

QStringList AdvancedGridLabels() {
  return {
      "FLOW_QMIN (f32)",       "FLOW_QP (f32)",       "FLOW_QMAX (f32)",    "FLOW_QMIN_CHECK (f32)",
      "FLOW_QMAX_CHECK (f32)", "NOWA2_INC (u16)",     "NOWA2_FACTOR (f32)", "NOWA2_VIF_[0] (u8)",
      "NOWA2_VIF_[1] (u8)",    "PIO_FACTOR (f32)",    "PIO_INC (u16)",      "COUNTER_FACTOR (f32)",
      "VOLUME_VIF_[0] (u8)",   "VOLUME_VIF_[1] (u8)", "ENE_UNIT (u8)",      "LCD_CFG (u8)",
      "NOWA1_CFG (u8)",        "MBUS_FACTOR (f32)",   "NOWA1_INC (u16)",    "NOWA1_FACTOR; (f32)",
      "NOWA1_VIF_[0] (u8)",    "NOWA1_VIF_[1] (u8)",  "PIO_FACTOR (f32)",   "PIO_INC (u16)",
      "COUNTER_FACTOR (f32)",  "ENERGY_VIF_[0] (u8)", "ENERGY_VIF_[1] (u8)"};
}

QStringList MenuItemCaptions(int group) {
  if (group == 1)
    return {"1.1 Error code && Time",
            "1.2 Heating energy",
            "1.3 Cooling energy",
            "1.4 Tariff 1",
            "1.5 Tariff 2",
            "1.6 Volume",
            "1.7 Pulse input 1",
            "1.8 Pulse input 2",
            "1.9 LCD Test",
            "1.10 Error free time",
            "1.11 Device ID",
            "1.12 Control number",
            "1.13 ------",
            "1.14 Flowrate (Rivo5 IP68)",
            "1.15 Next batery replacement (Rivo5 IP68)",
            "1.16 ------"};
  if (group == 2) {
    QStringList l = {
        "2.1 Setday Heating energy",  "2.2 Setday Cooling energy",  "2.3 Setday Tariff 1",
        "2.4 Setday Tariff 2",        "2.5 Setday Volume",          "2.6 Setday Pulse input 1",
        "2.7 Setday Pulse input 2",   "2.8 Archive Heating energy", "2.9 Archive Cooling energy",
        "2.10 Archive Tariff 1",      "2.11 Archive Tariff 2",      "2.12 Archive Volume",
        "2.13 Archive Pulse input 1", "2.14 Archive Pulse input 2", "2.15 Power (max)",
        "2.16 Power (min)",           "2.17 Flow rate (max)",       "2.18 Flow Temp. (max)",
        "2.19 Return Temp. (max)",    "2.20 Temp. diff. (max)",     "2.21 Flow Temp. (min)",
        "2.22 Return Temp. (min)",    "2.23 Temp. diff. (min)"};
    for (int i = 24; i <= 30; ++i) l << QString("2.%1 ------").arg(i);
    l << "2.31 Dept 2 Month "
      << "2.32 Depth 36 Month";
    return l;
  }
  QStringList l = {"3.1 Power",
                   "3.2 Flowrate",
                   "3.3 Flow Temperature",
                   "3.4 Return Temperature",
                   "3.5 Temp. diff.",
                   "3.6 Next batery replacement",
                   "3.7 Actual date",
                   "3.8 Actual Time",
                   "3.9 Set Year date",
                   "3.10 Set Month date",
                   "3.11 Tariff 1 configuration",
                   "3.12 Tariff 2 configuration",
                   "3.13 Pulse I/O 1 config.",
                   "3.14 Pulse I/O 2 config.",
                   "3.15 Heater type",
                   "3.16 Heater pressure",
                   "3.17 Device ID",
                   "3.18 Software verssion",
                   "3.19 Fabrication number",
                   "3.20 MBus address",
                   "3.21 Error free time",
                   "3.22 Total work time"};
  for (int i = 23; i <= 32; ++i) l << QString("3.%1 ------").arg(i);
  return l;
}

}  // namespace nord5::ui
