#include <gtest/gtest.h>

#include "CommandLine.h"
#include "DeviceCommandLine.h"

namespace recsim {
namespace {

bool Parse(std::vector<std::string> args, ServerOptions& options, std::string& error) {
  args.insert(args.begin(), {"--root", "/"});
  return ParseCommandLine(args, options, error);
}

TEST(DeviceCommandLineTest, ReadsTheDeviceOptionsBesideTheServerOnes) {
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--port", "0", "--recorder-port", "0", "--user", "admin:12:345",
                     "--user", "guest:", "--channel", "1=a.mp4", "--substream", "1=b.mp4",
                     "--span", "2:20080801120000_20080801123000=c.mp4", "--legacy",
                     "--legacy-port", "0", "--device-fault", "drop-after=100",
                     "--device-fault", "bad-magic"},
                    options, error))
      << error;
  const DeviceOptions& device = options.device;
  EXPECT_EQ(device.recorderPort, 0);
  EXPECT_EQ(device.users.at("admin"), "12:345");  // the password may hold a colon
  EXPECT_EQ(device.users.at("guest"), "");
  EXPECT_EQ(device.channels.at(1), "a.mp4");
  EXPECT_EQ(device.substreams.at(1), "b.mp4");
  ASSERT_EQ(device.spans.size(), 1u);
  EXPECT_EQ(device.spans[0].channel, 2u);
  EXPECT_EQ(device.spans[0].stop - device.spans[0].start, 1800);
  EXPECT_TRUE(device.legacy);
  EXPECT_EQ(device.legacyPort, 0);
  EXPECT_EQ(device.faults.dropAfter, 100u);
  EXPECT_TRUE(device.faults.badMagic);
  EXPECT_FALSE(ServerOptions().device.Wanted());
}

TEST(DeviceCommandLineTest, RejectsMalformedValues) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--recorder-port", "65536"}, {"--recorder-port"}, {"--user", ":pw"},
           {"--user", "nocolon"}, {"--channel", "x=a.mp4"}, {"--channel", "1="},
           {"--span", "1:20080801123000_20080801120000=a.mp4"},  // stop before start
           {"--span", "1:2008080112000_20080801123000=a.mp4"},   // 13 digits
           {"--span", "1:20080801120000-20080801123000=a.mp4"},  // no "_"
           {"--span", "1:20081301120000_20081301123000=a.mp4"},  // month 13
           {"--device-fault", "stall-after=0"}, {"--device-fault", "explode"}}) {
    ServerOptions options;
    std::string error;
    EXPECT_FALSE(Parse(args, options, error)) << args[0] << " " << args.back();
    EXPECT_FALSE(error.empty());
  }
}

TEST(DeviceCommandLineTest, CalendarTimesCountAsUtcSeconds) {
  EXPECT_EQ(ParseCalendarTime("19700101000000"), 0);
  EXPECT_EQ(ParseCalendarTime("20080801120000"), 1217592000);
  EXPECT_FALSE(ParseCalendarTime("2008080112000a"));
  EXPECT_FALSE(ParseCalendarTime("20080801240000"));
}

}  // namespace
}  // namespace recsim
