#include "foundation/utils.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/text_resource.h"

namespace nord5 {
namespace {

TEST(Manufacturer, EncodesFiveBitsPerLetter) {
  const std::pair<const char*, std::uint16_t> cases[] = {
      {"ZVQ", 0x6AD1},  // (26 << 10) | (22 << 5) | 17
      {"zvq", 0x6AD1},  // only the low five bits count
      {"AAA", 0x0421},
      {"AB", 0x0440},   // a missing letter counts as 0
      {"", 0x0000},
      {"ZVQX", 0x6AD1},  // letters after the third are not part of the code
  };
  for (const auto& [code, expected] : cases)
    EXPECT_EQ(EncodeManufacturer(code), expected) << '"' << code << '"';
}

TEST(Manufacturer, DecodesEveryField) {
  EXPECT_EQ(DecodeManufacturer(0x6AD1), "ZVQ");
  EXPECT_EQ(DecodeManufacturer(0x0000), "@@@");
  EXPECT_EQ(DecodeManufacturer(0xFFFF), "___");  // bit 15 is not part of any letter
}

TEST(Manufacturer, EveryLetterCodeRoundTrips) {
  std::string code = "AAA";
  for (char a = 'A'; a <= 'Z'; ++a)
    for (char b = 'A'; b <= 'Z'; ++b)
      for (char c = 'A'; c <= 'Z'; ++c) {
        code = {a, b, c};
        const std::uint16_t v = EncodeManufacturer(code);
        ASSERT_LT(v, 0x8000) << code;
        ASSERT_EQ(DecodeManufacturer(v), code);
      }
}

TEST(ScaleFormTo96, PercentRoundsHalvesToEven) {
  const std::pair<int, int> cases[] = {
      {96, 100}, {120, 80}, {144, 67}, {192, 50}, {72, 133},
      {256, 38},  // 37.5
      {768, 12},  // 12.5
      {0, 100},  {-96, 100},  // no usable dpi: leave the window as designed
  };
  for (const auto& [dpi, percent] : cases) EXPECT_EQ(ScaleFormTo96Percent(dpi), percent) << dpi;
}

TEST(TextResource, BuiltInReportMatchesItsSourceFile) {
  std::ifstream in(std::string(NORD5_SOURCE_DIR) + "/src/foundation/texts/resources/REPORT.htm",
                   std::ios::binary);
  ASSERT_TRUE(in);
  std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (expected.rfind("\xEF\xBB\xBF", 0) == 0) expected.erase(0, 3);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(LoadTextResource("REPORT"), expected);
  EXPECT_EQ(LoadTextResource("report"), expected);
}

TEST(TextResource, UnknownNameGivesEmptyText) {
  EXPECT_EQ(LoadTextResource("NO_SUCH_TEXT"), "");
  EXPECT_EQ(LoadTextResource(""), "");
}

TEST(TextResource, DecodesUtf16LittleEndian) {
  struct Case {
    std::vector<unsigned char> bytes;
    std::string expected;
  };
  const Case cases[] = {
      {{0xFF, 0xFE, 'A', 0, 'b', 0}, "Ab"},                    // byte order mark skipped
      {{'A', 0, 0xB3, 0x00, 0x30, 0x04}, "A\xC2\xB3\xD0\xB0"},  // "A³а"
      {{0x34, 0xD8, 0x1E, 0xDD}, "\xF0\x9D\x84\x9E"},          // surrogate pair: U+1D11E
      {{0x34, 0xD8, 'x', 0}, "\xEF\xBF\xBDx"},                  // lone high surrogate
      {{0x1E, 0xDD}, "\xEF\xBF\xBD"},                           // lone low surrogate
      {{'a', 0, 0, 0, 'b', 0}, "a"},                            // ends at the zero character
      {{'a', 0, 'b'}, "a"},                                     // odd last byte ignored
      {{}, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecodeUtf16Le(c.bytes.data(), c.bytes.size()), c.expected);
}

}  // namespace
}  // namespace nord5
