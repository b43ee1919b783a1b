// zentrova-cli's command line: what it takes, and the one-line reason for what it does not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"

namespace {

using zcli::Command;
using zcli::Options;

TEST(CliOptions, TakesEachCommandWithItsOperandsAndOptions) {
  Options o;
  std::string error;
  ASSERT_TRUE(zcli::ParseOptions({"record", "/dev/ttyUSB0", "run.txt", "--poll", "100", "--count=5", "--lang", "ru"}, o, error))
      << error;
  EXPECT_EQ(o.command, Command::kRecord);
  EXPECT_EQ(o.port, "/dev/ttyUSB0");
  EXPECT_EQ(o.file, "run.txt");
  EXPECT_EQ(o.pollMs, 100);
  EXPECT_EQ(o.count, 5);
  EXPECT_EQ(o.language, 0);

  ASSERT_TRUE(zcli::ParseOptions({"set-config", "COM7", "--period", "2.3", "--event", "off", "--shunt-mv", "75"}, o, error))
      << error;
  EXPECT_EQ(o.period, 2.3);
  EXPECT_EQ(o.event, false);
  EXPECT_EQ(o.shuntMv, 75u);
  EXPECT_FALSE(o.shuntA);

  // With --simulate the port may be left out.
  ASSERT_TRUE(zcli::ParseOptions({"--simulate", "download", "mem.txt"}, o, error)) << error;
  EXPECT_EQ(o.port, "");
  EXPECT_EQ(o.file, "mem.txt");
  ASSERT_TRUE(zcli::ParseOptions({"convert", "a.txt", "-o", "a.csv"}, o, error)) << error;
  EXPECT_EQ(o.output, "a.csv");
  ASSERT_TRUE(zcli::ParseOptions({"report", "mem.txt", "--json", "--threshold", "0.2", "--min-phase=30", "--gap", "120"}, o,
                                 error))
      << error;
  EXPECT_EQ(o.command, Command::kReport);
  EXPECT_EQ(o.file, "mem.txt");
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.threshold, 0.2);
  EXPECT_EQ(o.minPhase, 30.0);
  EXPECT_EQ(o.gap, 120.0);
  EXPECT_EQ(o.plot, "");
  for (const char* image : {"out.png", "dir/out.svg", "out.pdf"}) {
    ASSERT_TRUE(zcli::ParseOptions({"report", "mem.txt", "--plot", image}, o, error)) << error;
    EXPECT_EQ(o.plot, image);
  }
  ASSERT_TRUE(zcli::ParseOptions({"report", "mem.txt"}, o, error)) << error;
  EXPECT_FALSE(o.threshold);
  EXPECT_FALSE(o.minPhase);
  EXPECT_FALSE(o.gap);
  ASSERT_TRUE(zcli::ParseOptions({"download", "COM3", "m.txt", "--reconnect", "--reconnect-timeout", "2.5"}, o, error))
      << error;
  EXPECT_TRUE(o.reconnect);
  EXPECT_EQ(o.reconnectTimeout, 2.5);
  ASSERT_TRUE(zcli::ParseOptions({"live", "COM3", "--reconnect"}, o, error)) << error;
  EXPECT_TRUE(o.reconnect);
  EXPECT_FALSE(o.reconnectTimeout);
  ASSERT_TRUE(zcli::ParseOptions({"live", "--help"}, o, error)) << error;
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.command, Command::kLive);
}

TEST(CliOptions, RefusesWhatItCannotTake) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{}, "no command given"},
      {{"flash", "COM1"}, "unknown command 'flash'"},
      {{"info"}, "info needs a PORT"},
      {{"record", "COM1"}, "record needs a FILE"},
      {{"info", "COM1", "extra"}, "unexpected 'extra'"},
      {{"info", "COM1", "--bogus"}, "unknown option --bogus"},
      {{"info", "COM1", "--count", "3"}, "--count does not go with info"},
      {{"live", "COM1", "--count", "0"}, "--count takes a whole number from 1, not '0'"},
      {{"live", "COM1", "--count"}, "--count needs a value"},
      {{"record", "COM1", "f", "--count", "3", "--seconds", "2"}, "record takes --count or --seconds, not both"},
      {{"set-config", "COM1", "--period", "0,5"}, "--period takes seconds from 0.3 to 5, not '0,5'"},
      {{"set-config", "COM1", "--period", "7"}, "--period takes seconds from 0.3 to 5, not '7'"},
      {{"set-config", "COM1", "--event", "yes"}, "--event takes on or off, not 'yes'"},
      {{"set-config", "COM1", "--shunt-a", "70000"}, "--shunt-a takes a whole number from 1 to 65535, not '70000'"},
      {{"info", "COM1", "--lang", "de"}, "--lang takes ru or en, not 'de'"},
      {{"report"}, "report needs a FILE"},
      {{"report", "a.txt", "--threshold", "-1"}, "--threshold takes amperes from 0, not '-1'"},
      {{"report", "a.txt", "--min-phase", "x"}, "--min-phase takes seconds from 0, not 'x'"},
      {{"report", "a.txt", "--gap", "0"}, "--gap takes a number of seconds above 0, not '0'"},
      {{"convert", "a.txt", "--gap", "60"}, "--gap does not go with convert"},
      {{"report", "a.txt", "--plot", "a.jpg"}, "--plot takes a .png, .svg or .pdf file, not 'a.jpg'"},
      {{"report", "a.txt", "--plot", "png"}, "--plot takes a .png, .svg or .pdf file, not 'png'"},
      {{"convert", "a.txt", "--plot", "a.png"}, "--plot does not go with convert"},
      {{"erase", "COM1"}, "erase deletes every record in the logger: confirm with --yes"},
      {{"info", "COM1", "--reconnect"}, "--reconnect does not go with info"},
      {{"live", "COM1", "--reconnect-timeout", "5"}, "--reconnect-timeout goes with --reconnect"},
      {{"live", "COM1", "--reconnect", "--reconnect-timeout", "0"},
       "--reconnect-timeout takes a number of seconds above 0, not '0'"},
  };
  for (const auto& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(zcli::ParseOptions(c.args, o, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(CliOptions, HelpForEveryCommand) {
  for (Command c : {Command::kNone, Command::kPorts, Command::kInfo, Command::kLive, Command::kRecord,
                    Command::kDownload, Command::kSetConfig, Command::kSyncClock, Command::kErase, Command::kConvert,
                    Command::kReport}) {
    const std::string help = zcli::UsageText(c);
    EXPECT_EQ(help.rfind("Usage: zentrova-cli", 0), 0u) << zcli::CommandName(c);
    EXPECT_NE(help.find("--simulate"), std::string::npos) << zcli::CommandName(c);
  }
}

}  // namespace
