#include "model/flow_coefficients.h"

#include <cmath>

#include "fixture.h"
#include "foundation/number_format.h"

namespace nord5 {
namespace {

using testing::FormFixture;
using testing::SampleImage;

class FlowTest : public FormFixture {
 protected:
  // Measured points into columns 3-4 of the main table; the rest of the rows emptied.
  void Points(const std::vector<std::pair<double, double>>& points) {
    for (int row = 1; row <= 17; ++row) {
      form.SetCell(kGridQ, 3, row, "");
      form.SetCell(kGridQ, 4, row, "");
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
      form.SetCell(kGridQ, 3, static_cast<int>(i) + 1, FloatToStr(points[i].first));
      form.SetCell(kGridQ, 4, static_cast<int>(i) + 1, FloatToStr(points[i].second));
    }
  }
  double Cell(int col, int row) { return *ParseFloat(form.Cell(kGridQ, col, row)); }
};

TEST_F(FlowTest, BreakpointsWithoutCorrectionShowNoError) {
  MeterImage m = SampleImage();
  const float qx[16] = {3, 6, 12.5, 25, 50, 100, 200, 400, 800, 1600, 3200, 6400, 9000,
                        9500, 9750, 9900};
  for (int i = 0; i < 16; ++i) m.SetCoef<float>(4 * i, qx[i]);
  ShowAsRead(m);
  for (int row = 1; row <= 16; ++row) {
    EXPECT_EQ(form.Cell(kGridQ, 3, row), FormatFloat(qx[row - 1], "0.000E+0")) << row;
    EXPECT_EQ(form.Cell(kGridQ, 4, row), "0.000E+0") << row;
    EXPECT_EQ(form.Cell(kGridCor, 2, row), "0.00") << row;
  }
  EXPECT_EQ(form.Cell(kGridQ, 3, 17), "1.980E+4");
  EXPECT_EQ(form.Cell(kGridQ, 4, 17), "0.000E+0");
  EXPECT_EQ(form.Cell(kGridCor, 0, 17), "19800.0000");
  EXPECT_EQ(form.Cell(kGridCor, 1, 17), "0.000");
}

TEST_F(FlowTest, ErrorIsComputedFromTheRoundedCorrectedFlow) {
  MeterImage m = SampleImage();
  m.SetCoef<float>(0, 1.23456f);
  ShowAsRead(m);
  EXPECT_EQ(form.Cell(kGridQ, 3, 1), "1.235E+0");
  EXPECT_EQ(form.Cell(kGridQ, 4, 1), "-3.563E-2");
  EXPECT_EQ(form.Cell(kGridCor, 0, 1), "1.2350");
  EXPECT_EQ(form.Cell(kGridCor, 1, 1), "-0.04");
}

TEST_F(FlowTest, StoreTakesBackWhatTheShowShows) {
  const MeterImage m = SampleImage();
  ShowAsRead(m);
  image = MeterImage{};
  ASSERT_TRUE(StoreFlowCoefficients(ctx));
  for (std::size_t off = 0; off < 414; ++off)
    EXPECT_EQ(image.Coef<std::uint8_t>(off), m.Coef<std::uint8_t>(off)) << "Coef " << off;
  EXPECT_EQ(image.Coef<std::int8_t>(482), -3);
  EXPECT_EQ(image.Cfg<std::uint8_t>(97), 3);
  EXPECT_EQ(image.Cfg<std::uint16_t>(84), 0x01E6 & 0x0102) << "bits 1 and 8 only";
}

TEST_F(FlowTest, StoreStopsAtTheFirstUnreadableCell) {
  ShowAsRead(SampleImage());
  form.SetCell(kGridQt, 1, 5, "XXXXXX");
  form.SetCell(kGridQ, 0, 17, "garbage");  // row 17 is never stored
  image.SetCoef<float>(256 + 16, 7.0f);
  EXPECT_FALSE(StoreFlowCoefficients(ctx));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"});
  EXPECT_EQ(image.Coef<float>(256 + 16), 7.0f);
}

struct CalcCase {
  const char* name;
  bool linear;
  std::vector<std::pair<double, double>> points;
  // slot -> {flow, error}
  std::vector<std::tuple<int, double, double>> expect;
};

TEST_F(FlowTest, CalculationPlacesAndExtrapolatesThePoints) {
  const std::vector<std::pair<double, double>> three{{100, 1}, {200, 2}, {400, 4}};
  const CalcCase cases[] = {
      {"linear", true, three,
       {{15, 400, 4}, {14, 200, 2}, {13, 100, 1}, {12, 50, 0.5}, {11, 25, 0.25},
        {0, 100.0 / 8192, 1.0 / 8192}, {16, 800, 8}}},
      {"limited", false, three, {{12, 50, 1}, {0, 100.0 / 8192, 1}, {16, 800, 4}}},
      {"descending", true, {{400, 4}, {200, 2}, {100, 1}}, {{12, 50, 0.5}, {16, 800, 8}}},
  };
  for (const auto& c : cases) {
    form.SetChecked(c.linear ? "flow_linear" : "flow_limited", true);
    Points(c.points);
    ASSERT_TRUE(CalculateFlowCorrection(form, dialogs, kGridQ)) << c.name;
    for (const auto& [slot, q, e] : c.expect) {
      EXPECT_NEAR(Cell(3, slot + 1), q, q * 1e-3) << c.name << " slot " << slot;
      EXPECT_NEAR(Cell(4, slot + 1), e, std::fabs(e) * 1e-3) << c.name << " slot " << slot;
    }
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FlowTest, CalculationCoefficientsReproduceTheCorrectedFlows) {
  Points({{100, 1}, {200, 2}, {400, 4}});
  ASSERT_TRUE(CalculateFlowCorrection(form, dialogs, kGridQ));
  // Row 15 (slot 14): C = 200 * 1.02 = 204; A, B give the factor 1 / 1.02 at C.
  EXPECT_NEAR(Cell(0, 15), 204, 0.5);
  const double k = Cell(1, 15) * Cell(0, 15) + Cell(2, 15);
  EXPECT_NEAR(k, 1 / 1.02, 1e-3);
}

TEST_F(FlowTest, AnEmptyRowEndsThePointList) {
  Points({{100, 1}, {200, 2}, {400, 4}});
  form.SetCell(kGridQ, 3, 5, "900");  // after the empty row 4: ignored
  form.SetCell(kGridQ, 4, 5, "9");
  ASSERT_TRUE(CalculateFlowCorrection(form, dialogs, kGridQ));
  EXPECT_NEAR(Cell(3, 16), 400, 0.1);
  EXPECT_NEAR(Cell(3, 17), 800, 0.1);
}

TEST_F(FlowTest, SeventeenPointsFillEverySlot) {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 17; ++i) points.push_back({10.0 * (i + 1), 0.1 * i});
  Points(points);
  ASSERT_TRUE(CalculateFlowCorrection(form, dialogs, kGridQ));
  EXPECT_NEAR(Cell(3, 1), 10, 1e-3);
  EXPECT_NEAR(Cell(3, 17), 170, 1e-3);
  EXPECT_NEAR(Cell(4, 17), 1.6, 1e-3);
}

TEST_F(FlowTest, ArithmeticFailuresLeaveTheGridUnchanged) {
  const std::vector<std::pair<double, double>> cases[] = {
      {{100, 1}, {100, 2}, {400, 4}},  // two equal flows: division by zero
      {{100, -100}, {200, 2}},         // an error of -100 %: the factor divides by zero
  };
  for (const auto& points : cases) {
    dialogs.shown.clear();
    Points(points);
    form.SetCell(kGridQ, 0, 1, "marker");
    EXPECT_FALSE(CalculateFlowCorrection(form, dialogs, kGridQ));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"});
    EXPECT_EQ(form.Cell(kGridQ, 0, 1), "marker");
  }
}

TEST_F(FlowTest, NoPointsIsNoCalculationAndNoMessage) {
  Points({});
  EXPECT_FALSE(CalculateFlowCorrection(form, dialogs, kGridQ));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FlowTest, SetFeedsTheCalculatorBackIntoTheMainTable) {
  MeterImage m = SampleImage();
  for (int i = 0; i < 16; ++i) m.SetCoef<float>(128 + 4 * i, 1.0f / (1.0f + 0.001f * (i + 1)));
  ShowAsRead(m);
  const std::string err8 = form.Cell(kGridCor, 1, 8);
  form.SetCell(kGridCor, 2, 8, "0.50");
  form.SetCell(kGridCor, 0, 9, "bad");  // skipped
  form.UserClick("btSet");
  EXPECT_TRUE(dialogs.shown.empty());
  // Row 8 now carries the corrected error; the table was recalculated from the 16 points.
  EXPECT_NEAR(Cell(4, 8), *ParseFloat(err8) + 0.5, 0.006);
  EXPECT_NEAR(Cell(3, 8), 793.7, 0.05) << "flow from column 0 of the calculator";
}

TEST_F(FlowTest, EditedCellsAreReformattedByTheirColumn) {
  const struct {
    const char* grid;
    int col;
    const char* typed;
    const char* shown;
  } cases[] = {
      {kGridQ, 0, "1.5", "1.500E+0"},
      {kGridCor, 0, "2", "2.0000"},
      {kGridCor, 1, "-1.234", "-1.23"},
      {kGridTemp, 1, "1e-3", "0.001"},  // no column patterns: general format
      {kGridQ, 2, "abc", "old"},        // not a number: the text before editing comes back
  };
  for (const auto& c : cases) {
    GridEditMemory memory;
    GridGetEditText(memory, c.col, 2, "old");
    form.SetCell(c.grid, c.col, 2, c.typed);
    GridClick(form, c.grid, memory, false);
    EXPECT_EQ(form.Cell(c.grid, c.col, 2), c.shown) << c.grid << " " << c.typed;
    EXPECT_EQ(memory.row, -1) << "forgotten outside editing";
  }
}

}  // namespace
}  // namespace nord5
