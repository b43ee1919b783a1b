#include "sim/command_line.h"

#include <gtest/gtest.h>

#include <clocale>
#include <optional>

#include "test_util.h"

namespace zv::sim {
namespace {

CommandLine Parse(const std::vector<std::string>& args) {
  CommandLine cl;
  std::string error;
  EXPECT_TRUE(ParseCommandLine(args, cl, error)) << error;
  return cl;
}

TEST(CommandLineTest, DefaultsPaceAtTheWireRate) {
  const CommandLine cl = Parse({});
  EXPECT_TRUE(cl.server.pacing);
  EXPECT_EQ(cl.server.baudRate, 921600u);
  EXPECT_EQ(cl.server.device.config.version, 110);
  EXPECT_FALSE(cl.server.device.frozen);
  EXPECT_FALSE(cl.printRegisters);
  EXPECT_TRUE(cl.server.linkPath.empty());
  EXPECT_FALSE(cl.server.hotPlug.unplugAfterPages);
  EXPECT_FALSE(cl.server.hotPlug.unplugAfterMs);
  EXPECT_FALSE(cl.server.hotPlug.replugAfterMs);
  EXPECT_FALSE(cl.server.hotPlug.replugSerial);
}

TEST(CommandLineTest, EveryOptionLandsInItsField) {
  const CommandLine cl = Parse({"--version", "210", "--serial", "4321", "--nominal-voltage", "48", "--shunt-mv", "75",
                                "--shunt-a=600", "--config-word", "0x11F4", "--records", "70000", "--erase-ms", "150",
                                "--latency-ms", "7", "--no-pacing", "--clock-register-5-only", "--drop-reply", "3",
                                "--drop-reply", "9", "--split-reply", "2:40", "--short-page", "5", "--short-page",
                                "6:100", "--corrupt-crc", "4", "--silent", "--vanish-after-pages", "12:mute", "--log",
                                "-", "--seed", "18446744073709551615", "--freeze", "-12.5:25.25:3.75", "--device-time",
                                "2024-03-15T10:20:30", "--stop-clock", "--link", "/tmp/zentrova-port",
                                "--print-registers"});
  const DeviceOptions& d = cl.server.device;
  EXPECT_EQ(d.config.version, 210);
  EXPECT_EQ(d.config.serial, 4321);
  EXPECT_EQ(d.config.nominalVoltage, 48);
  EXPECT_EQ(d.config.shuntMillivolts, 75);
  EXPECT_EQ(d.config.shuntAmps, 600);
  EXPECT_EQ(d.config.configWord, 0x11F4);
  EXPECT_EQ(d.records, 70000u);
  EXPECT_EQ(d.eraseMs, 150u);
  EXPECT_EQ(cl.server.latencyMs, 7u);
  EXPECT_FALSE(cl.server.pacing);
  EXPECT_TRUE(d.clockRegister5Only);
  EXPECT_EQ(d.faults.dropReplies, (std::vector<uint32_t>{3, 9}));
  ASSERT_EQ(d.faults.splitReplies.size(), 1u);
  EXPECT_EQ(d.faults.splitReplies[0].reply, 2u);
  EXPECT_EQ(d.faults.splitReplies[0].pauseMs, 40u);
  ASSERT_EQ(d.faults.shortPages.size(), 2u);
  EXPECT_EQ(d.faults.shortPages[0].page, 5u);
  EXPECT_EQ(d.faults.shortPages[0].bytes, 2048u);
  EXPECT_EQ(d.faults.shortPages[1].bytes, 100u);
  EXPECT_EQ(d.faults.corruptCrcReplies, (std::vector<uint32_t>{4}));
  EXPECT_TRUE(d.faults.silent);
  ASSERT_TRUE(d.faults.vanishAfterPages);
  EXPECT_EQ(*d.faults.vanishAfterPages, 12u);
  EXPECT_EQ(d.faults.vanishMode, VanishMode::kMute);
  EXPECT_EQ(cl.logPath, "-");
  EXPECT_EQ(d.seed, 18446744073709551615ull);
  ASSERT_TRUE(d.frozen);
  EXPECT_DOUBLE_EQ(d.frozen->amps, -12.5);
  EXPECT_DOUBLE_EQ(d.frozen->volts, 25.25);
  EXPECT_DOUBLE_EQ(d.frozen->chargeAh, 3.75);
  ASSERT_TRUE(d.startTime);
  EXPECT_EQ(d.startTime->year, 2024);
  EXPECT_EQ(d.startTime->second, 30);
  EXPECT_TRUE(d.clockStopped);
  EXPECT_EQ(cl.server.linkPath, "/tmp/zentrova-port");
  EXPECT_TRUE(cl.printRegisters);
}

TEST(CommandLineTest, VanishClosesThePortUnlessToldToMute) {
  EXPECT_EQ(Parse({"--vanish-after-pages", "3"}).server.device.faults.vanishMode, VanishMode::kClose);
  EXPECT_EQ(Parse({"--vanish-after-pages", "3:close"}).server.device.faults.vanishMode, VanishMode::kClose);
}

TEST(CommandLineTest, NumbersIgnoreTheProcessLocale) {
  // A locale with a decimal comma, where one is installed; the C locale otherwise.
  const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (!set) set = std::setlocale(LC_ALL, "ru_RU.UTF-8");
  const CommandLine cl = Parse({"--freeze", "1.5:24.75:-0.25"});
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(cl.server.device.frozen);
  EXPECT_DOUBLE_EQ(cl.server.device.frozen->volts, 24.75);
  EXPECT_DOUBLE_EQ(cl.server.device.frozen->chargeAh, -0.25);
}

struct HotPlugCase {
  std::vector<std::string> args;
  std::optional<uint32_t> afterPages, afterMs, replugMs;
  std::optional<uint16_t> serial, version;
};

TEST(CommandLineTest, HotPlugOptionsLandInTheirFields) {
  const HotPlugCase cases[] = {
      {{"--unplug-after-pages", "12"}, 12, {}, {}, {}, {}},
      {{"--unplug-after-pages=0", "--replug-after-ms", "3000"}, 0, {}, 3000, {}, {}},
      {{"--unplug-after-seconds", "2.5"}, {}, 2500, {}, {}, {}},
      {{"--unplug-after-seconds", "7"}, {}, 7000, {}, {}, {}},
      {{"--replug-serial", "124"}, {}, {}, {}, 124, {}},
      {{"--replug-serial", "0x10:210", "--replug-after-ms", "0"}, {}, {}, 0, 16, 210},
  };
  for (const HotPlugCase& c : cases) {
    const HotPlugOptions h = Parse(c.args).server.hotPlug;
    const std::string what = c.args.front() + " " + c.args.back();
    EXPECT_EQ(h.unplugAfterPages, c.afterPages) << what;
    EXPECT_EQ(h.unplugAfterMs, c.afterMs) << what;
    EXPECT_EQ(h.replugAfterMs, c.replugMs) << what;
    EXPECT_EQ(h.replugSerial, c.serial) << what;
    EXPECT_EQ(h.replugVersion, c.version) << what;
  }
}

TEST(CommandLineTest, ProfileLogsOnceASecondAndFillsTheMemoryWithOneRun) {
  const std::size_t capacityRun = ProfileRecords(ProfileKind::kCapacity, 24, 1000);
  const struct {
    std::vector<std::string> args;
    ProfileKind kind;
    uint16_t configWord;
    std::size_t records;
  } cases[] = {
      {{"--profile", "capacity"}, ProfileKind::kCapacity, 100, capacityRun},
      {{"--profile=solar"}, ProfileKind::kSolar, 100, 86400},
      {{"--profile", "capacity", "--config-word", "50"}, ProfileKind::kCapacity, 50, (capacityRun * 1000 + 499) / 500},
      {{"--config-word", "0x1064", "--profile", "solar"}, ProfileKind::kSolar, 0x1064, 86400},
      {{"--profile", "capacity", "--records", "1200"}, ProfileKind::kCapacity, 100, 1200},
      // A run longer than the memory: the memory holds what fits.
      {{"--profile", "solar", "--config-word", "1"}, ProfileKind::kSolar, 1, 524288},
  };
  for (const auto& c : cases) {
    const DeviceOptions d = Parse(c.args).server.device;
    EXPECT_EQ(d.profile, c.kind) << c.args.back();
    EXPECT_EQ(d.config.configWord, c.configWord) << c.args.back();
    EXPECT_EQ(d.records, c.records) << c.args.back();
  }
  EXPECT_GT(capacityRun, 3u * 3600);
  EXPECT_LT(capacityRun, 6u * 3600);
  const DeviceOptions none = Parse({}).server.device;
  EXPECT_EQ(none.profile, ProfileKind::kNone);
  EXPECT_EQ(none.config.configWord, 33);
  EXPECT_EQ(none.records, 3000u);
}

struct BadArgs {
  std::vector<std::string> args;
  const char* mentions;  // the error names this
};

class BadCommandLines : public ::testing::TestWithParam<BadArgs> {};

TEST_P(BadCommandLines, AreRejectedWithAMessage) {
  CommandLine cl;
  std::string error;
  EXPECT_FALSE(ParseCommandLine(GetParam().args, cl, error));
  EXPECT_NE(error.find(GetParam().mentions), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCommandLines,
    ::testing::Values(BadArgs{{"--bogus"}, "--bogus"}, BadArgs{{"--version"}, "needs a value"},
                      BadArgs{{"--version", "abc"}, "--version"}, BadArgs{{"--version", "65536"}, "--version"},
                      BadArgs{{"--version", "-1"}, "--version"}, BadArgs{{"--serial", "12x"}, "--serial"},
                      BadArgs{{"--nominal-voltage", "0"}, "--nominal-voltage"},
                      BadArgs{{"--nominal-voltage", "24.5"}, "--nominal-voltage"},
                      BadArgs{{"--split-reply", "3"}, "--split-reply"},
                      BadArgs{{"--split-reply", "0:10"}, "--split-reply"},
                      BadArgs{{"--short-page", "2:4096"}, "--short-page"},
                      BadArgs{{"--short-page", "2:0"}, "--short-page"}, BadArgs{{"--drop-reply", "0"}, "--drop-reply"},
                      BadArgs{{"--vanish-after-pages", "2:explode"}, "--vanish-after-pages"},
                      BadArgs{{"--freeze", "1,5:24:0"}, "--freeze"}, BadArgs{{"--freeze", "1:24"}, "--freeze"},
                      BadArgs{{"--freeze", "nan:24:0"}, "--freeze"},
                      BadArgs{{"--device-time", "2024-13-01T00:00:00"}, "--device-time"},
                      BadArgs{{"--device-time", "yesterday"}, "--device-time"},
                      BadArgs{{"--records", "524289"}, "--records"},
                      BadArgs{{"--version", "210", "--records", "1048577"}, "--records"},
                      BadArgs{{"--no-pacing=yes"}, "takes no value"}, BadArgs{{"--link", ""}, "--link"},
                      BadArgs{{"--unplug-after-pages", "-1"}, "--unplug-after-pages"},
                      BadArgs{{"--unplug-after-seconds", "2,5"}, "--unplug-after-seconds"},
                      BadArgs{{"--unplug-after-seconds", "-1"}, "--unplug-after-seconds"},
                      BadArgs{{"--replug-after-ms", "1.5"}, "--replug-after-ms"},
                      BadArgs{{"--replug-serial", "65536"}, "--replug-serial"},
                      BadArgs{{"--replug-serial", "12:"}, "--replug-serial"},
                      BadArgs{{"--replug-serial", "12:110:3"}, "--replug-serial"},
                      BadArgs{{"--profile", "lunar"}, "capacity or solar"},
                      BadArgs{{"--profile", "capacity", "--records", "524289"}, "--records"}),
    [](const auto& info) {
      std::string joined;
      for (const auto& a : info.param.args) joined += a + " ";
      return std::to_string(info.index) + "_" + testing::SafeName(joined);
    });

TEST(CommandLineTest, Version210HoldsTwiceTheRecords) {
  EXPECT_EQ(Parse({"--version", "210", "--records", "1048576"}).server.device.records, 1048576u);
}

TEST(CommandLineTest, UsageNamesEveryOption) {
  const std::string usage = UsageText();
  for (const char* opt : {"--version", "--serial", "--nominal-voltage", "--shunt-mv", "--shunt-a", "--config-word",
                          "--records", "--erase-ms", "--latency-ms", "--no-pacing", "--clock-register-5-only",
                          "--drop-reply", "--split-reply", "--short-page", "--corrupt-crc", "--silent",
                          "--vanish-after-pages", "--log", "--seed", "--freeze", "--device-time", "--stop-clock",
                          "--link", "--print-registers", "--help", "--unplug-after-pages",
                          "--unplug-after-seconds", "--replug-after-ms", "--replug-serial", "SIGUSR1", "SIGUSR2",
                          "--profile", "capacity", "solar"}) {
    EXPECT_NE(usage.find(opt), std::string::npos) << opt;
  }
}

}  // namespace
}  // namespace zv::sim
