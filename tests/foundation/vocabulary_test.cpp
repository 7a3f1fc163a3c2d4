// The engine stores these values in one-byte fields and indexes tables by them: ordinals are fixed.
#include <gtest/gtest.h>

#include "foundation/exchange_state.h"
#include "foundation/vocabulary.h"

namespace nord5 {
namespace {

TEST(Vocabulary, OrdinalsSurviveAStoredStateField) {
  ExchangeState st;
  st.Command_SEQ = TMBUS_Commands::_cmReadMemory;
  st.Select_SEQ = TMBUS_Commands::_cmWriteMemory;
  st.Start_Command = TMTR07_Commands::_mtr07_LogData;
  EXPECT_EQ(Ord(st.Command_SEQ), 33);
  EXPECT_EQ(Ord(st.Select_SEQ), 34);
  EXPECT_EQ(Ord(st.Start_Command), 25);

  struct Case { std::uint8_t got, want; };
  const Case cases[] = {
      {Ord(TMBUS_Commands::_cmInstallSlave), 0},       {Ord(TMBUS_Commands::_cmApplicReset4), 8},
      {Ord(TMBUS_Commands::_cmSetDateTime), 21},       {Ord(TMBUS_Commands::_cmStopProccess), 36},
      {Ord(tCommnadType::ct_SetPulse1Value), 3},       {Ord(tCommnadType::ct_Stop), 10},
      {Ord(TMTR07_Commands::_mtr07_GetVersion), 1},    {Ord(TMTR07_Commands::_mtr07_ReadArchive), 22},
      {Ord(TMTR07_Commands::_mtrManufacturerJumper), 23},
      {Ord(TMTR07_Commands::_mtrGetCredits), 26},      {Ord(TMTR07_Commands::_mtrChangeMode), 29},
      {Ord(TMTR07_Commands::_mtrChangeMemory), 32},    {Ord(TMTR07_Commands::_mtr07_UserConfig1), 33},
      {Ord(TMTR07_Commands::_mtr07_UserConfig12), 44}, {Ord(TMTR07_Commands::_mtr07_UserMeniu), 45},
      {Ord(TMTR07_Commands::_mtr07_GetActual1), 47},   {Ord(TMTR07_Commands::_mtr07_R1_max), 48},
      {Ord(TMTR07_Commands::_mtr07_Qx), 111},
      {Ord(TMTR07_Commands::_mtr07_CRC_FLOWCALIBRATION_), 158},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Vocabulary, BuffersHoldAThousandAndOneBytes) {
  ExchangeState st;
  EXPECT_EQ(st.OBuffer.size(), 1001u);
  EXPECT_EQ(st.IBuffer.size(), 1001u);
}

}  // namespace
}  // namespace nord5
