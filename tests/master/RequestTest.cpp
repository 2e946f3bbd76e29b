// Request composition: frames byte for byte, ExpectedLength, framing.
#include <stdexcept>

#include "MasterFixture.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

class Request : public MasterFixture {};

TEST_F(Request, ReadOfTwentyHoldingRegistersRtu) {
  ComposeRead(1, 20);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ToHex(sent[0]), "01 03 00 00 00 14 45 C5");
  EXPECT_EQ(state.Frame, sent[0]);
  EXPECT_EQ(state.FunctionCode, 3);
  EXPECT_EQ(state.ExpectedLength, 45);
}

TEST_F(Request, ReadOfTwentyHoldingRegistersAscii) {
  settings.Link.RtuMode = false;
  ComposeRead(1, 20);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], ":010300000014E8\r\n");
  EXPECT_EQ(state.AsciiRequest, sent[0]);
  EXPECT_EQ(ToHex(state.Frame), "01 03 00 00 00 14");  // no CRC in ASCII framing
}

TEST_F(Request, WriteSetpoint250) {
  ComposeWrite(26, 250);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ToHex(sent[0]), "01 06 00 19 00 FA D8 4E");
  EXPECT_EQ(state.FunctionCode, 6);
  EXPECT_EQ(state.ExpectedLength, 8);
  settings.Link.RtuMode = false;
  ComposeWrite(26, 250);
  EXPECT_EQ(sent.back(), ":0106001900FAE6\r\n");
}

TEST_F(Request, WriteSetpointMinus100) {
  ComposeWrite(26, -100);
  EXPECT_EQ(ToHex(sent.back()), "01 06 00 19 FF 9C 19 94");
  settings.Link.RtuMode = false;
  ComposeWrite(26, -100);
  EXPECT_EQ(sent.back(), ":01060019FF9C45\r\n");
}

TEST_F(Request, ValueBytesAreTheLow16Bits) {
  ComposeWrite(1, 65535);
  std::string a = sent.back().substr(4, 2);
  ComposeWrite(1, -1);
  EXPECT_EQ(ToHex(a), "FF FF");
  EXPECT_EQ(sent.back().substr(4, 2), a);
  ComposeWrite(1, 0x12345);
  EXPECT_EQ(ToHex(sent.back().substr(4, 2)), "23 45");
}

TEST_F(Request, RegisterNumbersGoOutMinusOne) {
  ComposeRead(300, 2);
  EXPECT_EQ(ToHex(sent.back().substr(2, 2)), "01 2B");
  ComposeRead(1, 2);
  EXPECT_EQ(ToHex(sent.back().substr(2, 2)), "00 00");
}

TEST_F(Request, SlaveAddressLeadsTheFrame) {
  settings.Link.SlaveAddress = 247;
  ComposeRead(1, 1);
  EXPECT_EQ(static_cast<unsigned char>(sent.back()[0]), 247);
}

TEST_F(Request, OneRegisterWriteIsFunction6WhateverUseFunction6Says) {
  settings.Link.UseFunction6 = false;
  ComposeWrite(2, 1);
  EXPECT_EQ(state.FunctionCode, 6);
  settings.Link.UseFunction6 = true;
  ComposeWrite(2, 1);
  EXPECT_EQ(state.FunctionCode, 6);
}

TEST_F(Request, ThreeRegisterWriteIsFunction16) {
  state.WriteActive = 1;
  state.WriteAddress = 1;
  state.WriteCount = 3;
  state.WriteValues[0] = 1;
  state.WriteValues[1] = -2;
  state.WriteValues[2] = 0x1234;
  master.MasterPollPLC();
  EXPECT_EQ(ToHex(sent.back().substr(0, 13)), "01 10 00 00 00 03 06 00 01 FF FE 12 34");
  EXPECT_EQ(sent.back().size(), 15u);
  EXPECT_EQ(CRC16(sent.back(), 15), 0) << "frame ends in its CRC";
  EXPECT_EQ(state.FunctionCode, 16);
  EXPECT_EQ(state.ExpectedLength, 8);
}

TEST_F(Request, Function16WithoutAValidByteCountSendsNothing) {
  state.WriteActive = 1;
  state.WriteAddress = 1;
  for (int count : {0, -1, 124, 200, 1000}) {
    state.WriteCount = count;
    master.MasterPollPLC();
  }
  EXPECT_TRUE(sent.empty());
  state.WriteCount = 123;  // byte count 246 still fits
  master.MasterPollPLC();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(static_cast<unsigned char>(sent[0][6]), 246);
  EXPECT_EQ(sent[0].size(), 7u + 246u + 2u);
}

TEST_F(Request, CoilWritesFunction5And15) {
  settings.Poll.TableType = 0;
  state.WriteActive = 1;
  state.WriteAddress = 17;
  state.WriteCount = 0;
  state.WriteValues[0] = 7;
  master.MasterPollPLC();
  EXPECT_EQ(ToHex(sent.back().substr(0, 6)), "01 05 00 10 FF 00");
  state.WriteValues[0] = 0;
  master.MasterPollPLC();
  EXPECT_EQ(ToHex(sent.back().substr(0, 6)), "01 05 00 10 00 00");
  EXPECT_EQ(state.ExpectedLength, 8);

  state.WriteCount = 2;
  state.WriteValues[0] = 0x1A5;  // low 8 bits go out
  state.WriteValues[1] = 0x03;
  master.MasterPollPLC();
  // Quantity 16 coils = 2 value bytes, consistent with the byte count 2.
  EXPECT_EQ(ToHex(sent.back().substr(0, 9)), "01 0F 00 10 00 10 02 A5 03");
  EXPECT_EQ(sent.back().size(), 11u);
  EXPECT_EQ(state.FunctionCode, 15);
  EXPECT_EQ(state.ExpectedLength, 8);
}

TEST_F(Request, ReadOnlyTablesHaveNoWrite) {
  state.FunctionCode = 3;
  state.ExpectedLength = 45;
  state.WriteActive = 1;
  state.WriteCount = 1;
  for (int type : {1, 2, 4, -1}) {
    settings.Poll.TableType = type;
    master.MasterPollPLC();
  }
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(state.FunctionCode, 3);
  EXPECT_EQ(state.ExpectedLength, 45);
}

TEST_F(Request, UnknownTableTypeReadsNothing) {
  settings.Poll.TableType = 7;
  ComposeRead(1, 20);
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(state.Frame.empty());
}

TEST_F(Request, BitReadsAskForTheWholeBlock) {
  settings.Poll.TableType = 0;
  settings.Poll.StartRegister = 300;
  settings.Poll.RegisterCount = 20;
  ComposeRead(5, 3);  // chunk fields do not apply to bit reads
  EXPECT_EQ(ToHex(sent.back().substr(0, 6)), "01 01 01 2B 00 14");
  EXPECT_EQ(state.ExpectedLength, 8);  // 3 data bytes + 5
  settings.Poll.TableType = 1;
  settings.Poll.RegisterCount = 16;
  ComposeRead(5, 3);
  EXPECT_EQ(state.FunctionCode, 2);
  EXPECT_EQ(state.ExpectedLength, 7);
}

TEST_F(Request, InputRegisterReadIsFunction4) {
  settings.Poll.TableType = 2;
  ComposeRead(1, 20);
  EXPECT_EQ(ToHex(sent.back().substr(0, 6)), "01 04 00 00 00 14");
  EXPECT_EQ(state.ExpectedLength, 45);
}

TEST_F(Request, WiderRegistersAwaitFourBytesEach) {
  settings.Poll.RegisterWidth = 32;
  ComposeRead(1, 10);
  EXPECT_EQ(state.ExpectedLength, 45);
}

TEST_F(Request, AbsurdSizesSaturateInsteadOfOverflowing) {
  settings.Poll.RegisterWidth = 32;
  ComposeRead(1, INT32_MAX);
  EXPECT_EQ(state.ExpectedLength, INT32_MAX);
  ComposeRead(1, INT32_MIN);
  EXPECT_LT(state.ExpectedLength, 0);
  settings.Poll.TableType = 0;
  settings.Poll.RegisterCount = INT32_MAX;
  ComposeRead(1, 1);
  EXPECT_EQ(state.ExpectedLength, INT32_MAX / 8 + 1 + 5);
}

TEST_F(Request, BuildAsciiFrameEncodesEveryByteValue) {
  state.Frame = std::string("\x00\x0A\xFF\x7F", 4);
  master.BuildAsciiFrame();
  // LRC = (256 - (0x0A + 0xFF + 0x7F) mod 256) mod 256 = (256 - 0x88) = 0x78
  EXPECT_EQ(state.AsciiRequest, ":000AFF7F78\r\n");
  state.Frame.clear();
  master.BuildAsciiFrame();
  EXPECT_EQ(state.AsciiRequest, ":00\r\n");
}

TEST(RequestSend, SenderFailurePropagatesWithTheStateDescribingTheRequest) {
  Settings settings;
  MasterState state;
  RegisterImage image;
  TMaster master(settings, state, image, [](const std::string&) { throw std::runtime_error("port not open"); },
                 [] { return 0u; });
  state.ChunkStart = 1;
  state.ChunkSize = 20;
  EXPECT_THROW(master.MasterPollPLC(), std::runtime_error);
  EXPECT_EQ(state.FunctionCode, 3);
  EXPECT_EQ(state.ExpectedLength, 45);
  EXPECT_EQ(ToHex(state.Frame), "01 03 00 00 00 14 45 C5");
}

TEST(RequestSend, MissingSenderAndTickAreTolerated) {
  Settings settings;
  MasterState state;
  RegisterImage image;
  TMaster master(settings, state, image, nullptr, nullptr);
  state.ChunkStart = 1;
  state.ChunkSize = 20;
  master.MasterPollPLC();
  EXPECT_EQ(state.ExpectedLength, 45);
}

}  // namespace
}  // namespace korvane::test
