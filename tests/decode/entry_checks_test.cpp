// The checks every reply passes before it is decoded, and the dispatch on its function code.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "decode_fixture.h"

namespace {

using ztest::Bytes;

struct EntryCase {
  const char* name;
  Bytes frame;
  int receiveToggle;
  int language;
  std::optional<std::string> status;  // nothing: the status line keeps its text
};

const Bytes kMeasurement = ztest::MeasurementReply({.i50Rms = 1234, .voltage = 2500, .charge = 777, .milliseconds = 1000});

class EntryChecks : public ztest::DecodeFixture, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(EntryChecks, ChangeOnlyTheStatusAndRefresh) {
  const EntryCase& c = GetParam();
  // A window that has already read its logger, so that a change would show.
  Decode(ztest::ConfigurationReply({.version = 8, .serial = 42, .shuntMillivolts = 75, .shuntAmps = 500,
                                     .nominalVoltage = 12, .word = 0x1064}));
  Decode(ztest::MeasurementReply({.i50Rms = 100, .voltage = 5000, .charge = -314, .milliseconds = 9500,
                                  .hour = 14, .minute = 5, .month = 3, .day = 7, .year = 15}));
  dlg->m_bReceiveData = c.receiveToggle;
  Language(c.language);
  ShowStatus("before");
  const auto before = Decodable();
  dlg->m_nRecordPollMs = 777;  // a member the decoder does not write, not yet on screen

  Decode(c.frame);

  EXPECT_EQ(Text(IDC_STATUS), c.status.value_or("before"));
  EXPECT_EQ(Decodable(), before);
  EXPECT_EQ(Text(IDC_POLL_PERIOD), "777") << "the controls are refreshed";
  EXPECT_TRUE(view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, EntryChecks,
    ::testing::Values(
        EntryCase{"NothingReceived", {}, 0, 0, "Ошибка приема"},
        EntryCase{"OneByte", {0x01}, 0, 1, "Receive error"},
        EntryCase{"TwoBytes", {0x01, 0x04}, 0, 0, "Ошибка приема"},
        EntryCase{"ThreeBytes", {0x01, 0x10, 0xC0}, 0, 1, "Receive error"},
        EntryCase{"NothingReceivedWhileReceivingData", {}, 1, 1, "Receive error"},
        EntryCase{"ThreeBytesWhileReceivingData", {0x01, 0x04, 0x22}, 1, 0, "Ошибка приема"},
        EntryCase{"CrcHighByteFirstRu", ztest::CrcSwapped(kMeasurement), 0, 0, "Ошибка CRC"},
        EntryCase{"CrcHighByteFirstEn", ztest::CrcSwapped(kMeasurement), 0, 1, "CRC error"},
        EntryCase{"ShortestReplyWithBadCrc", {0x01, 0x10, 0x00, 0x00}, 0, 1, "CRC error"},
        EntryCase{"ConfigurationWriteCode", ztest::Sealed({0x01, 0x65}), 0, 1, std::nullopt},
        EntryCase{"ConfigurationWriteEcho",
                  ztest::Sealed({0x01, 0x65, 0x0C, 0x00, 0x21, 0, 0, 0, 0, 0, 0, 0x00, 0x32, 0x01, 0x2C}), 0, 0,
                  std::nullopt},
        EntryCase{"ExceptionToAMeasurementRequest", ztest::Sealed({0x01, 0x84, 0x02}), 0, 1, std::nullopt},
        EntryCase{"ExceptionToAWrite", ztest::Sealed({0x01, 0x90, 0x04}), 0, 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

using ReplyChecks = ztest::DecodeFixture;

TEST_F(ReplyChecks, TheCrcCoversEveryByteBeforeIt) {
  // One bit changed anywhere in a measurement reply fails the check.
  for (std::size_t i = 0; i + 2 < kMeasurement.size(); ++i) {
    SCOPED_TRACE(i);
    Bytes frame = kMeasurement;
    frame[i] ^= 0x01;
    ShowStatus("before");
    Decode(frame);
    EXPECT_EQ(Text(IDC_STATUS), "Ошибка CRC");
    EXPECT_EQ(Text(IDC_CURRENT), "0");
  }
}

struct AckCase {
  const char* name;
  int language;
  std::string status;
};

class Acknowledgement : public ztest::DecodeFixture, public ::testing::WithParamInterface<AckCase> {};

TEST_P(Acknowledgement, ShowsSuccessAndNothingElse) {
  Language(GetParam().language);
  ShowStatus("before");
  const auto before = Decodable();
  Decode(ztest::Acknowledgement(0x000B, 4));
  EXPECT_EQ(Text(IDC_STATUS), GetParam().status);
  EXPECT_EQ(Decodable(), before);
}

INSTANTIATE_TEST_SUITE_P(Table, Acknowledgement,
                         ::testing::Values(AckCase{"Ru", 0, "Успешно"}, AckCase{"En", 1, "Successfully"},
                                           // A flag that names neither language leaves the line.
                                           AckCase{"NeitherLanguage", 2, "before"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplyChecks, TheAddressByteIsNotLookedAt) {
  Language(1);
  Decode(ztest::Sealed({0x7F, 0x10, 0x00, 0x14, 0x00, 0x02}));
  EXPECT_EQ(Text(IDC_STATUS), "Successfully");
}

}  // namespace
