// A store after a show, with no control edited, gives back the bytes that were shown: the display
// patterns round, but an untouched field must reach the meter and the file unchanged.
#include <cmath>
#include <cstring>
#include <random>

#include "fixture.h"
#include "model/advanced_grid.h"
#include "model/flow_coefficients.h"
#include "model/temperature_coefficients.h"
#include "model/user_configuration.h"

namespace nord5 {
namespace {

using testing::FormFixture;
using testing::SampleImage;

class UnchangedStoreTest : public FormFixture {
 protected:
  UnchangedStoreTest() { ctx.advanced = true; }
  // Every store a configuration write or save runs.
  bool StoreAll() {
    return StoreUserConfiguration(ctx) && StoreFlowCoefficients(ctx) &&
           StoreTemperatureCoefficients(ctx) && StoreAdvancedGrid(ctx);
  }
  // The image offsets whose bytes differ.
  static std::vector<std::size_t> Changed(const MeterImage& a, const MeterImage& b) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < kImageSize; ++i)
      if (a.bytes[i] != b.bytes[i]) out.push_back(i);
    return out;
  }
};

// Any finite float32 bit pattern: from 1e-38 to 3e38, with every digit significant.
float AnyFloat(std::mt19937& rng) {
  for (;;) {
    const std::uint32_t bits = rng();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (std::isfinite(f)) return f;
  }
}

TEST_F(UnchangedStoreTest, FloatsOfEveryPatternKeepTheirBytes) {
  for (unsigned seed = 1; seed <= 5; ++seed) {
    std::mt19937 rng(seed);
    auto in = [&](float lo, float hi) {
      return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    MeterImage m = SampleImage();
    for (std::size_t cfg = 0; cfg < 84; cfg += 4) m.SetCfg<float>(cfg, AnyFloat(rng));
    m.SetCfg<float>(kCfgThreshold1, AnyFloat(rng));
    m.SetCfg<float>(kCfgThreshold2, AnyFloat(rng));
    for (std::size_t i = 0; i < 16; ++i) {
      // The main table must stay showable: positive corrected flows that grow along the rows.
      m.SetCoef<float>(kCoefQx + 4 * i, in(1, 10) * static_cast<float>(1u << i));
      m.SetCoef<float>(kCoefQa + 4 * i, in(-1e-6f, 1e-6f));
      m.SetCoef<float>(kCoefQb + 4 * i, in(0.9f, 1.1f));
      for (std::size_t table : {kCoefQxt, kCoefQat, kCoefQbt})
        m.SetCoef<float>(table + 4 * i, AnyFloat(rng));
    }
    for (std::size_t coef = kCoefQf; coef <= kCoefRET; coef += 4)
      m.SetCoef<float>(coef, AnyFloat(rng));
    for (const auto& row : AdvancedRows())
      if (row.type == GridField::F32) m.SetCoef<float>(row.coef, AnyFloat(rng));
    ShowAsRead(m);
    ASSERT_TRUE(StoreAll()) << seed << ::testing::PrintToString(Messages());
    EXPECT_EQ(Changed(m, image), std::vector<std::size_t>{}) << "seed " << seed;
  }
}

TEST_F(UnchangedStoreTest, ValuesWithoutAReadableTextKeepTheirBytes) {
  MeterImage m = SampleImage();
  m.SetCfg<std::uint32_t>(4, 0xFFFFFFFF);                 // erased flash: NaN, shown "NAN"
  m.SetCoef<std::uint32_t>(kCoefQf, 0x7F800000);          // +INF
  m.SetCoef<std::uint32_t>(kCoefQat + 8, 0xFFFFFFFF);     // second table, row 3
  m.SetCoef<std::uint32_t>(AdvancedRows()[6].coef, 0xFFFFFFFF);
  m.SetCfg<std::uint16_t>(kCfgTariffConfig, 0x0245 | (kTriggerTimeInterval << 3));
  m.SetCfg<std::uint32_t>(kCfgThreshold1, 1500u | (1500u << 16));  // shown "00:00-00:00"
  ShowAsRead(m);
  ASSERT_EQ(form.Text("textBoxThreshold1"), "00:00-00:00");
  ASSERT_TRUE(StoreAll()) << ::testing::PrintToString(Messages());
  EXPECT_EQ(Changed(m, image), std::vector<std::size_t>{});
}

TEST_F(UnchangedStoreTest, EditedFieldsStoreTheirNewValue) {
  MeterImage m = SampleImage();
  m.SetCoef<float>(kCoefQb + 4, 1.0073846f);  // shown as 1.007E+0
  ShowAsRead(m);
  ASSERT_EQ(form.Cell(kGridQ, 2, 2), "1.007E+0");
  form.SetCell(kGridQ, 2, 2, "1.008E+0");
  form.SetText("textBoxR1lo", "999.5");
  ASSERT_TRUE(StoreAll());
  EXPECT_EQ(image.Coef<float>(kCoefQb + 4), 1.008f);
  EXPECT_EQ(image.Cfg<float>(4), 999.5f);
}

// Before any pulse channel was shown with an energy or volume VIF, the VIF lists hold their
// design-time items, which are no decades: an input of neither kind keeps its VIF.
TEST_F(UnchangedStoreTest, AVifOfNeitherKindSurvivesTheFirstShow) {
  MeterImage m = SampleImage();
  m.SetCfg<std::uint32_t>(kCfgPio1Vif, 0x2A);
  ShowAsRead(m);
  ASSERT_EQ(form.Items("pio_vif1"), DesignTimeVifItems());
  ASSERT_TRUE(StoreUserConfiguration(ctx));
  EXPECT_EQ(image.Cfg<std::uint32_t>(kCfgPio1Vif), 0x2Au);

  form.UserClick(PulseChannel(1).sources[2]);  // a source click fills the volume list
  ASSERT_TRUE(StoreUserConfiguration(ctx));
  EXPECT_EQ(image.Cfg<std::uint32_t>(kCfgPio1Vif), 0x13u) << "input, 0.001 m3";
}

}  // namespace
}  // namespace nord5
