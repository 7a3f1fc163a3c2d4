#include "sim/meter_memory.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "foundation/crc.h"

namespace nord5::sim {
namespace {

void SetFloats(MeterImage& m, std::size_t coef, const std::array<float, 16>& v) {
  for (std::size_t i = 0; i < v.size(); ++i) m.SetCoef<float>(coef + 4 * i, v[i]);
}

void FillConfiguration(MeterImage& m) {
  // Temperature sensors: resistance ratios at the calibration points and a four-point correction.
  m.SetCfg<float>(0, 1.385055f);   // R1hi
  m.SetCfg<float>(4, 1.000012f);   // R1lo
  m.SetCfg<float>(8, 1.384990f);   // R2hi
  m.SetCfg<float>(12, 0.999987f);  // R2lo
  const float tx[4] = {0.0f, 40.0f, 80.0f, 150.0f};
  const float ta[4] = {1.0002f, 1.0001f, 0.9999f, 0.9998f};
  const float tb[4] = {0.010f, 0.000f, -0.010f, -0.020f};
  for (std::size_t i = 0; i < 4; ++i) {
    m.SetCfg<float>(16 + 4 * i, tx[i]);
    m.SetCfg<float>(32 + 4 * i, ta[i]);
    m.SetCfg<float>(48 + 4 * i, tb[i]);
  }
  m.SetCfg<float>(64, 0.5f);    // dT start
  m.SetCfg<float>(68, 3.0f);    // dT min
  m.SetCfg<float>(72, 150.0f);  // dT max
  m.SetCfg<float>(76, 2.0f);    // T min
  m.SetCfg<float>(80, 150.0f);  // T max
  m.SetCfg<std::uint16_t>(84, 0x01E2);  // density at T2, heating only
  // M-Bus default speed and the signal detection of the measuring channel.
  const std::uint8_t channel[5] = {0x03, 0x40, 0x08, 0x10, 0x20};
  std::memcpy(m.CfgBlock() + 88, channel, sizeof channel);
  m.SetCfg<std::uint16_t>(kCfgManufacturer, kDefaultManufacturer);
  m.SetCfg<std::uint8_t>(97, 0);        // medium list: water
  m.SetCfg<float>(98, 1.0f);            // antifreeze multiplier
  m.SetCfg<float>(102, 0.0f);           // antifreeze offset
  m.SetCfg<std::uint8_t>(106, 0x18);    // temperature measuring with thermometer
  m.SetCfg<std::uint8_t>(107, 0x0C);    // manufacturer code and test mode may be changed
  m.SetCfg<std::uint8_t>(108, 0x01);    // battery error on
  m.SetCfg<std::uint16_t>(130, 6187);   // optical hour credits
  m.SetCfg<std::uint16_t>(kCfgMbusCredits, 6187);
  m.SetCfg<std::uint16_t>(134, 0x0245);  // tariffs on: power above threshold 1, flow threshold 2
  m.SetCfg<float>(136, 5.0f);            // kW
  m.SetCfg<float>(140, 0.5f);            // m3/h
  m.SetCfg<std::uint16_t>(kCfgReportingYear, 0xF6E1);  // 1 June
  m.SetCfg<std::uint16_t>(146, 0xFFE1);                // the 1st of every month
  m.SetCfg<std::uint16_t>(kCfgPulseConfig, 0x0000);    // both channels are inputs
  m.SetCfg<std::uint16_t>(186, 1);
  m.SetCfg<std::uint16_t>(188, 1);
  m.SetCfg<std::uint16_t>(190, 33);  // 1 ms output pulses
  m.SetCfg<std::uint16_t>(192, 0x07FF);  // user menu: the first eleven items
  m.SetCfg<std::uint32_t>(208, 346896000);  // 11 years of battery
  m.SetCfg<std::uint32_t>(kCfgFabrication, 0x17001234);
  m.SetCfg<std::uint32_t>(kCfgIdentification, 0x12345678);
  m.SetCfg<std::uint8_t>(228, 0);
  m.SetCfg<std::uint8_t>(kCfgPrimaryAddress, 0);
  m.SetCfg<std::uint8_t>(230, 1);  // energy unit 0.001 MWh
  m.SetCfg<std::uint8_t>(231, 3);  // nominal flow 1.5 m3/h
  m.SetCfg<std::uint32_t>(kCfgPulse1Vif, 0x13);  // litres
  m.SetCfg<std::uint32_t>(kCfgPulse2Vif, 0x13);
  const char model[] = "NORD5-15";
  std::memcpy(m.CfgBlock() + 240, model, sizeof model - 1);
  m.SetCfg<std::uint8_t>(kCfgMedium, 0x04);  // heat, measured in the return pipe
  m.SetCfg<std::uint8_t>(252, 0x01);         // passed the factory test
}

void FillCalibration(MeterImage& m) {
  // Flow correction: sixteen breakpoints in l/h for a qp 1.5 m3/h meter, with a correction that
  // fades from +0.8 % at the lowest flow to 0 near qp.
  const std::array<float, 16> qx = {3,   6,   10,  15,  30,   60,   100,  150,
                                    300, 450, 600, 900, 1200, 1500, 2250, 3000};
  std::array<float, 16> qa{}, qb{}, one{};
  for (std::size_t i = 0; i < 16; ++i) {
    qa[i] = 0.0f;
    qb[i] = 1.0f + 0.008f * static_cast<float>(i < 13 ? 13 - i : 0) / 13.0f;
    one[i] = 1.0f;
  }
  SetFloats(m, 0, qx);
  SetFloats(m, 64, qa);
  SetFloats(m, 128, qb);
  SetFloats(m, 192, qx);
  SetFloats(m, 256, qa);
  SetFloats(m, 320, one);
  m.SetCoef<float>(384, 0.012f);  // Qf
  m.SetCoef<float>(388, 0.010f);  // QfT
  m.SetCoef<float>(392, 0.5f);    // Qz
  m.SetCoef<float>(396, 0.4f);    // QzT
  m.SetCoef<float>(400, 1.0f);    // RE
  m.SetCoef<float>(404, 1.0f);    // RET
  m.SetCoef<std::int32_t>(408, 25000);
  m.SetCoef<std::int16_t>(412, 12);
  if (!m.NewCoefLayout()) {
    m.SetCoef<std::uint8_t>(414, 0);  // medium
    m.SetCoef<std::uint8_t>(415, 0);
    return;
  }
  // Flow range and counters of a qp 1.5 m3/h meter counting in 0.001 MWh.
  m.SetCoef<float>(414, 0.003f);
  m.SetCoef<float>(418, 1.5f);
  m.SetCoef<float>(422, 3.6f);
  m.SetCoef<float>(426, 0.06f);
  m.SetCoef<float>(430, 3.0f);
  m.SetCoef<std::uint16_t>(434, 4);
  m.SetCoef<float>(436, 1000000.0f);
  m.SetCoef<std::uint8_t>(440, 16);
  m.SetCoef<std::uint8_t>(441, 0);
  m.SetCoef<float>(442, 1000.0f);
  m.SetCoef<std::uint16_t>(446, 1);
  m.SetCoef<float>(448, 1000.0f);
  m.SetCoef<std::uint8_t>(452, 19);
  m.SetCoef<std::uint8_t>(453, 0);
  m.SetCoef<std::uint8_t>(454, 0);  // ENE_UNIT
  m.SetCoef<std::uint8_t>(455, 0);  // LCD_CFG
  m.SetCoef<std::uint8_t>(456, 0);  // NOWA1_CFG
  m.SetCoef<float>(458, 1.0f);      // MBUS_FACTOR
  m.SetCoef<std::uint16_t>(462, 20);
  m.SetCoef<float>(464, 100000.0f);
  m.SetCoef<std::uint8_t>(468, 1);
  m.SetCoef<std::uint8_t>(469, 0);
  m.SetCoef<float>(470, 1.0f);
  m.SetCoef<std::uint16_t>(474, 1);
  m.SetCoef<float>(476, 1.0f);
  m.SetCoef<std::uint8_t>(480, 6);
  m.SetCoef<std::uint8_t>(481, 0);
  m.SetCoef<std::int8_t>(482, 0);  // N
}

}  // namespace

MeterImage DefaultMeterImage(std::uint32_t firmware) {
  MeterImage m;
  m.SetFirmwareVersion(firmware);
  FillConfiguration(m);
  FillCalibration(m);
  RefreshInnerCrcs(m);
  m.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(m));
  return m;
}

bool LoadMeterImageFile(const std::string& path, MeterImage& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::vector<char> data;
  char buf[1024];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    data.insert(data.end(), buf, buf + in.gcount());
    if (data.size() > kImageSize) break;
  }
  if (data.size() != kImageSize) {
    error = path + ": not a configuration file (" + std::to_string(kImageSize) + " bytes expected)";
    return false;
  }
  MeterImage m;
  std::memcpy(m.bytes.data(), data.data(), kImageSize);
  if (m.Get<std::uint16_t>(kImageCrcOffset) != ImageCrc(m)) {
    error = path + ": bad file check sum";
    return false;
  }
  image = m;
  return true;
}

bool SaveMeterImageFile(const std::string& path, MeterImage image) {
  image.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(image));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.bytes.data()), kImageSize);
  return static_cast<bool>(out);
}

}  // namespace nord5::sim
