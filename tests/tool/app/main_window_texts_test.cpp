// ctest-labels: unit
#include "app/main_window_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/serial_port_table.h"

namespace {

TEST(MainWindowTexts, CaptionAndVersionLabel) {
    EXPECT_EQ(CaptionWithVersion("Orbo_Zorvan_Tool", "0.1.0"), "Orbo_Zorvan_Tool(v0.1.0)");
    EXPECT_EQ(CaptionWithVersion("Orbo_Zorvan_Tool", ""), "Orbo_Zorvan_Tool");
    EXPECT_EQ(VersionLabelText("v1.5.2", "ZV2403150001"), "Ver: v1.5.2\r\nSN: ZV2403150001");
}

TEST(MainWindowTexts, BaudTextReadAsASignedNumber) {
    const std::pair<const char*, int32_t> cases[] = {
        {"9600", 9600},
        {"abc", 0},
        {"", 0},
        {"  115200", 115200},
        {"57600x", 57600},
        {"-5", -5},
        {"+7", 7},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483648LL},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(BaudRateFromText(text), expected) << text;
}

TEST(MainWindowTexts, PortEntriesListTheCommandLinePortOnce) {
    const std::vector<std::string> enumerated = {"/dev/ttyS0", "/dev/ttyUSB0"};
    auto entries = MakePortEntries(enumerated, "/tmp/some-pty");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].name, "/tmp/some-pty");
    for (const PortEntry& entry : entries) {
        EXPECT_EQ(entry.number, SerialPortNumberOf(entry.name)) << entry.name;
        EXPECT_GT(entry.number, 0);
    }
    entries = MakePortEntries(enumerated, "/dev/ttyUSB0");
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(MakePortEntries({}, "").empty());
}

}  // namespace
