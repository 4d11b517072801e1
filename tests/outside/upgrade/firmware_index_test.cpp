// Reading the firmware index, resolving archive addresses and comparing version texts.
#include "upgrade/firmware_index.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const kMd5A = "0123456789abcdef0123456789abcdef";

std::string VersionLine(const std::string& name, const std::string& archive,
                        const std::string& md5 = kMd5A, const std::string& size = "100") {
    return "<Version name=\"" + name + "\" archive=\"" + archive + "\" md5=\"" + md5 +
           "\" size=\"" + size + "\" date=\"2024-01-02\" notes=\"fixes\"/>";
}

bool Parse(const std::string& xml, const std::string& base, FirmwareIndex& index) {
    return ParseFirmwareIndex(xml.data(), xml.size(), base, index);
}

TEST(FirmwareIndex, ReadsVersionsInServiceOrderWithAbsoluteArchiveAddresses) {
    const std::string xml =
        "<?xml version=\"1.0\"?><FirmwareIndex>" + VersionLine("1.6.0", "archives/1.6.0.zip") +
        VersionLine("v1.5.2", "/old/1.5.2.zip", "0123456789ABCDEF0123456789ABCDEF", "6240") +
        VersionLine("1.7.0", "https://cdn.example/fw/1.7.0.zip") + "</FirmwareIndex>";
    FirmwareIndex index;
    ASSERT_TRUE(Parse(xml, "http://127.0.0.1:8080/fw/", index));
    ASSERT_EQ(index.versions.size(), 3u);
    EXPECT_EQ(index.base, "http://127.0.0.1:8080/fw");
    EXPECT_EQ(index.VersionList(), "1.6.0;v1.5.2;1.7.0");
    EXPECT_EQ(index.versions[0].archiveAddress, "http://127.0.0.1:8080/fw/archives/1.6.0.zip");
    EXPECT_EQ(index.versions[1].archiveAddress, "http://127.0.0.1:8080/fw/old/1.5.2.zip");
    EXPECT_EQ(index.versions[1].md5, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(index.versions[1].size, 6240u);
    EXPECT_EQ(index.versions[2].archiveAddress, "https://cdn.example/fw/1.7.0.zip");
    EXPECT_EQ(index.versions[0].date, "2024-01-02");
    EXPECT_EQ(index.versions[0].notes, "fixes");
}

TEST(FirmwareIndex, AnIndexWithoutVersionsIsValidAndEmpty) {
    FirmwareIndex index;
    ASSERT_TRUE(Parse("<FirmwareIndex/>", "file:///srv/fw", index));
    EXPECT_TRUE(index.versions.empty());
    EXPECT_EQ(index.VersionList(), "");
}

TEST(FirmwareIndex, RefusesWhatIsNotAFirmwareIndex) {
    const struct {
        const char* what;
        std::string xml;
    } cases[] = {
        {"empty", ""},
        {"not XML", "this is not xml"},
        {"unclosed", "<FirmwareIndex><Version name=\"1\""},
        {"another root", "<Firmware>" + VersionLine("1.0", "a.zip") + "</Firmware>"},
    };
    for (const auto& c : cases) {
        FirmwareIndex index;
        EXPECT_FALSE(Parse(c.xml, "http://h/fw", index)) << c.what;
    }
    const std::string huge(kMaxFirmwareIndexBytes + 1, ' ');
    FirmwareIndex index;
    EXPECT_FALSE(Parse("<FirmwareIndex/>" + huge, "http://h/fw", index));
}

TEST(FirmwareIndex, LeavesOutVersionsThatCannotBeDownloadedAndChecked) {
    const struct {
        const char* what;
        std::string line;
    } cases[] = {
        {"no name", VersionLine("", "a.zip")},
        {"separator in name", VersionLine("1.0;2.0", "a.zip")},
        {"control character in name", VersionLine("1.0&#10;", "a.zip")},
        {"no archive", VersionLine("1.0", "")},
        {"other scheme", VersionLine("1.0", "ftp://h/a.zip")},
        {"short md5", VersionLine("1.0", "a.zip", "0123")},
        {"md5 not hex", VersionLine("1.0", "a.zip", "0123456789abcdef0123456789abcdeg")},
        {"size zero", VersionLine("1.0", "a.zip", kMd5A, "0")},
        {"size signed", VersionLine("1.0", "a.zip", kMd5A, "-5")},
        {"size with text", VersionLine("1.0", "a.zip", kMd5A, "12kB")},
        {"size too large",
         VersionLine("1.0", "a.zip", kMd5A, std::to_string(kMaxFirmwareArchiveBytes + 1))},
        {"local file from a remote index", VersionLine("1.0", "file:///etc/passwd")},
    };
    for (const auto& c : cases) {
        FirmwareIndex index;
        ASSERT_TRUE(
            Parse("<FirmwareIndex>" + c.line + VersionLine("2.0", "b.zip") + "</FirmwareIndex>",
                  "https://h/fw", index))
            << c.what;
        EXPECT_EQ(index.VersionList(), "2.0") << c.what;
    }
}

TEST(FirmwareIndex, KeepsTheFirstOfTwoVersionsWithOneName) {
    FirmwareIndex index;
    ASSERT_TRUE(Parse("<FirmwareIndex>" + VersionLine("1.0", "first.zip") +
                          VersionLine("1.0", "second.zip") + "</FirmwareIndex>",
                      "http://h", index));
    ASSERT_EQ(index.versions.size(), 1u);
    EXPECT_EQ(index.versions[0].archiveAddress, "http://h/first.zip");
}

TEST(FirmwareIndex, FindsVersionsByExactNameThenWithoutLeadingV) {
    FirmwareIndex index;
    ASSERT_TRUE(Parse("<FirmwareIndex>" + VersionLine("v1.6.0", "a.zip") +
                          VersionLine("1.5.2", "b.zip") + VersionLine("V1.5.2", "c.zip") +
                          "</FirmwareIndex>",
                      "file:///srv", index));
    ASSERT_NE(index.FindVersion("1.6.0"), nullptr);
    EXPECT_EQ(index.FindVersion("1.6.0")->name, "v1.6.0");
    EXPECT_EQ(index.FindVersion("V1.5.2")->archiveAddress, "file:///srv/c.zip");
    EXPECT_EQ(index.FindVersion("v1.5.2")->archiveAddress, "file:///srv/b.zip");
    EXPECT_EQ(index.FindVersion("1.6"), nullptr);
    EXPECT_EQ(index.FindVersion(""), nullptr);
    EXPECT_EQ(index.FindArchive("file:///srv/b.zip")->name, "1.5.2");
    EXPECT_EQ(index.FindArchive("file:///srv/d.zip"), nullptr);
}

TEST(FirmwareIndex, ResolvesArchiveAddresses) {
    const struct {
        const char* base;
        const char* archive;
        const char* expected;
    } cases[] = {
        {"http://h/fw", "a.zip", "http://h/fw/a.zip"},
        {"http://h/fw///", "/a.zip", "http://h/fw/a.zip"},
        {"https://h", "sub/a.zip", "https://h/sub/a.zip"},
        {"file:///srv/fw/", "a.zip", "file:///srv/fw/a.zip"},
        {"file:///", "a.zip", "file:///a.zip"},
        {"file:///srv", "file:///other/a.zip", "file:///other/a.zip"},
        {"http://h", "HTTPS://cdn/a.zip", "HTTPS://cdn/a.zip"},
        {"http://h", "file:///etc/passwd", ""},
        {"http://h", "gopher://h/a.zip", ""},
        {"http://h", "", ""},
        {"http://h", "/", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveArchiveAddress(c.base, c.archive), c.expected)
            << c.base << " + " << c.archive;
    }
    EXPECT_EQ(IndexAddressOf("http://h/fw/"), "http://h/fw/index.xml");
    EXPECT_EQ(IndexAddressOf("file:///"), "file:///index.xml");
}

TEST(FirmwareIndex, KnowsTheServedSchemes) {
    EXPECT_EQ(SchemeOfAddress("http://h"), FirmwareAddressScheme::Http);
    EXPECT_EQ(SchemeOfAddress("HTTPS://h"), FirmwareAddressScheme::Https);
    EXPECT_EQ(SchemeOfAddress("File:///x"), FirmwareAddressScheme::File);
    EXPECT_EQ(SchemeOfAddress("/srv/fw"), FirmwareAddressScheme::None);
    EXPECT_EQ(SchemeOfAddress("ftp://h"), FirmwareAddressScheme::None);
}

TEST(FirmwareVersionCompare, ComparesDottedNumbers) {
    const struct {
        const char* a;
        const char* b;
        int parts;
        int expected;
    } cases[] = {
        {"1.0.3", "1.0.2", 0, 1},
        {"1.0.2", "1.0.3", 0, -1},
        {"v1.0.2", "1.0.2", 0, 0},
        {"V1.0.2", "v1.0.2", 0, 0},
        {"1.0.10", "1.0.9", 0, 1},
        {"0.9", "1.0.2", 0, -1},
        {"2", "1.99.99", 0, 1},
        {"1.2", "1.2.0", 0, 0},
        {"1.2.0.1", "1.2", 0, 1},
        {"1.02", "1.2", 0, 0},
        {"1.00000000000000000000000000001", "1.2", 0, -1},
        {"123456789012345678901234567890", "123456789012345678901234567889", 0, 1},
        {"1.0.3", "", 0, 1},
        {"", "0", 0, -1},
        {"", "", 0, 0},
        {"v", "", 0, 0},
        {nullptr, "1.0", 0, -1},
        {"1.0", nullptr, 0, 1},
        {"1.0.3b", "1.0.3a", 0, 1},
        {"1.0.3", "1.0.3a", 0, -1},
        {"1.0.7", "1.0.3", 2, 0},
        {"1.1.0", "1.0.9", 2, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareFirmwareVersions(c.a, c.b, c.parts), c.expected)
            << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null") << " parts " << c.parts;
    }
}

}  // namespace
