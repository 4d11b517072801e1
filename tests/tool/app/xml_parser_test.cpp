#include "app/xml_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/base_string.h"
#include "support/comma_locale.h"

namespace {

std::string Text(const XMLNode& node, const char* name) {
    CBaseStringA text;
    node.GetAttributeText(name, text);
    return text.GetString();
}

XMLNode Root(XMLParser& parser, const char* xml) {
    parser.LoadFromMemory(xml, std::char_traits<char>::length(xml));
    XMLNode root;
    parser.FindRootNode("AppConfig", root);
    return root;
}

TEST(XMLParser, NamesAreMatchedWithoutLetterCase) {
    XMLParser parser;
    XMLNode root = Root(parser, "<APPCONFIG baudrate=\"9600\"><objectinfo A=\"1\"/></APPCONFIG>");
    ASSERT_FALSE(root.IsEmpty());
    EXPECT_EQ(Text(root, "BaudRate"), "9600");
    XMLNode section;
    ASSERT_EQ(root.FindChild("ObjectInfo", section), 1);
    EXPECT_EQ(Text(section, "a"), "1");
    EXPECT_EQ(parser.IsModified(), 0);
}

TEST(XMLParser, OnlyTheFirstMatchAndOnlyDirectChildrenCount) {
    XMLParser parser;
    XMLNode root = Root(parser,
                        "<AppConfig x=\"first\" X=\"second\"><Inner><Deep/></Inner>"
                        "<Inner n=\"2\"/></AppConfig>");
    EXPECT_EQ(Text(root, "x"), "first");
    XMLNode child;
    EXPECT_EQ(root.FindChild("Deep", child), 0);
    EXPECT_EQ(child.IsEmpty(), 1);
    ASSERT_EQ(root.FindChild("inner", child), 1);
    EXPECT_EQ(Text(child, "n"), "");
}

TEST(XMLParser, WritingTheStoredTextInAnyCaseChangesNothing) {
    struct Case {
        const char* stored;
        const char* written;
        bool modified;
        const char* after;
    } cases[] = {
        {"0XFF000000", "0xff000000", false, "0XFF000000"},
        {"abc", "ABC", false, "abc"},
        {"115200", "115200", false, "115200"},
        {"115200", "9600", true, "9600"},
        {"", "", false, ""},
    };
    for (const auto& c : cases) {
        XMLParser parser;
        const std::string xml = std::string("<AppConfig K=\"") + c.stored + "\"/>";
        XMLNode root = Root(parser, xml.c_str());
        EXPECT_EQ(root.SetAttributeText("k", c.written), 1);
        EXPECT_EQ(parser.IsModified(), c.modified ? 1 : 0) << c.stored << " <- " << c.written;
        EXPECT_EQ(Text(root, "K"), c.after);
    }
}

TEST(XMLParser, Hex32OverAnUpperCaseColourIsNoChange) {
    XMLParser parser;
    XMLNode root = Root(parser, "<AppConfig><ObjectInfo C=\"0XFF000000\"/></AppConfig>");
    XMLNode info;
    root.FindOrAddChild("ObjectInfo", info);
    info.SetAttributeHex32("c", 0xFF000000u);
    EXPECT_EQ(parser.IsModified(), 0);
    info.SetAttributeHex32("c", 0xBFC3C3C3u);
    EXPECT_EQ(parser.IsModified(), 1);
    EXPECT_EQ(Text(info, "C"), "0xbfc3c3c3");
}

TEST(XMLParser, AddingAnEmptyAttributeAloneIsNotAChange) {
    XMLParser parser;
    XMLNode root = Root(parser, "<AppConfig/>");
    root.SetAttributeText("Language", nullptr);
    root.SetAttributeText("Other", "");
    EXPECT_EQ(parser.IsModified(), 0);
    EXPECT_NE(parser.SaveToString().find("Language=\"\""), std::string::npos);
    root.SetAttributeText("Third", "x");
    EXPECT_EQ(parser.IsModified(), 1);
}

TEST(XMLParser, FindOrAddChildAppendsOnlyWhenMissing) {
    XMLParser parser;
    XMLNode root = Root(parser, "<AppConfig><ObjectInfo/></AppConfig>");
    XMLNode child;
    root.FindOrAddChild("OBJECTINFO", child);
    EXPECT_EQ(parser.IsModified(), 0);
    EXPECT_EQ(child.IsEmpty(), 0);
    root.FindOrAddChild("Download", child);
    EXPECT_EQ(parser.IsModified(), 1);
    child.SetAttributeText("DownloadFilePath", "/fw");
    EXPECT_EQ(parser.SaveToString(),
              "<?xml version=\"1.0\"?>\n<AppConfig>\n\t<ObjectInfo />\n"
              "\t<Download DownloadFilePath=\"/fw\" />\n</AppConfig>\n");
}

TEST(XMLParser, EmptyHandlesReadNothingAndWriteNothing) {
    XMLNode empty;
    XMLNode child;
    EXPECT_EQ(empty.FindOrAddChild("A", child), 1);
    EXPECT_EQ(child.IsEmpty(), 1);
    EXPECT_EQ(empty.SetAttributeText("A", "1"), 1);
    EXPECT_EQ(Text(empty, "A"), "");
    int32_t value = 7;
    EXPECT_EQ(empty.GetAttributeInt32("A", &value), 0);
    EXPECT_EQ(value, 7);
}

TEST(XMLParser, SavesDeclarationWithoutEncodingTabsAndAttributeOrder) {
    XMLParser parser;
    XMLNode doc = parser.GetDocumentNode();
    XMLNode root;
    doc.FindOrAddChild("AppConfig", root);
    root.SetAttributeInt64("BaudRate", 115200);
    root.SetAttributeText("LastReplayFile", "SaveData/RadarData.dat");
    XMLNode info;
    root.FindOrAddChild("ObjectInfo", info);
    info.SetAttributeHex32("EnergyWaveWnd_ActiveColor", 0xFF000000u);
    info.SetAttributeDouble("CurrentDetectTimeMS", 7.057, "%.5f");
    root.SetAttributeInt64("ReplayInterval", 500);
    EXPECT_EQ(parser.SaveToString(),
              "<?xml version=\"1.0\"?>\n"
              "<AppConfig BaudRate=\"115200\" LastReplayFile=\"SaveData/RadarData.dat\" "
              "ReplayInterval=\"500\">\n"
              "\t<ObjectInfo EnergyWaveWnd_ActiveColor=\"0xff000000\" "
              "CurrentDetectTimeMS=\"7.05700\" />\n"
              "</AppConfig>\n");
}

TEST(XMLParser, NumbersAreWrittenWhole) {
    XMLParser parser;
    XMLNode root = Root(parser, "<AppConfig/>");
    root.SetAttributeInt64("Min", INT64_MIN);
    root.SetAttributeUInt64("Max", UINT64_MAX);
    root.SetAttributeDouble("Big", 1e20, "%.5f");
    EXPECT_EQ(Text(root, "Min"), "-9223372036854775808");
    EXPECT_EQ(Text(root, "Max"), "18446744073709551615");
    EXPECT_EQ(Text(root, "Big"), "100000000000000000000.00000");
}

TEST(XMLParser, DoubleFormatMustBeOneFloatingConversion) {
    XMLParser parser;
    XMLNode root = Root(parser, "<AppConfig/>");
    for (const char* bad : {"%s", "%d", "%.1f %.1f", "no conversion", "%Lf", "%*f"}) {
        EXPECT_EQ(root.SetAttributeDouble("V", 1.5, bad), 0) << bad;
    }
    EXPECT_EQ(parser.IsModified(), 0);
    for (const char* good : {"%.2f", "%.1f", "%g", "%e%%"}) {
        EXPECT_EQ(root.SetAttributeDouble("V", 1.5, good), 1) << good;
    }
}

TEST(XMLParser, TypedReadsKeepTheDefaultForMissingOrEmptyText) {
    XMLParser parser;
    XMLNode root = Root(parser,
                        "<AppConfig ByteSize=\"0x108\" Empty=\"\" Neg=\"-5\" "
                        "Colour=\"0XBFC3C3C3\" Dec=\"264\" D=\"9.66\" Junk=\"12abc\"/>");
    struct Case {
        const char* name;
        int found;
        uint32_t expected;
    } bytes[] = {{"ByteSize", 1, 8}, {"Dec", 1, 8}, {"Empty", 0, 99}, {"Missing", 0, 99}};
    for (const auto& c : bytes) {
        uint8_t value = 99;
        EXPECT_EQ(root.GetAttributeUInt8(c.name, &value), c.found) << c.name;
        EXPECT_EQ(value, c.expected) << c.name;
    }
    int32_t neg = 0;
    EXPECT_EQ(root.GetAttributeInt32("Neg", &neg), 1);
    EXPECT_EQ(neg, -5);
    int32_t junk = 0;
    root.GetAttributeInt32("Junk", &junk);
    EXPECT_EQ(junk, 12);
    uint32_t colour = 0;
    EXPECT_EQ(root.GetAttributeUInt32("colour", &colour), 1);
    EXPECT_EQ(colour, 0xBFC3C3C3u);
    double d = 0;
    EXPECT_EQ(root.GetAttributeDouble("d", &d), 1);
    EXPECT_DOUBLE_EQ(d, 9.66);
}

TEST(XMLParser, DecimalCommaLocaleChangesNothing) {
    ScopedCommaLocale locale;
    if (!locale.Available()) GTEST_SKIP() << locale.Reason();
    XMLParser parser;
    XMLNode root =
        Root(parser, "<AppConfig><ObjectInfo CurrentDetectValueMA=\"9.66\"/></AppConfig>");
    XMLNode info;
    root.FindOrAddChild("ObjectInfo", info);
    double value = 0;
    ASSERT_EQ(info.GetAttributeDouble("CurrentDetectValueMA", &value), 1);
    EXPECT_DOUBLE_EQ(value, 9.66);
    info.SetAttributeDouble("CurrentLPValueMA", 0.00712, "%.5f");
    info.SetAttributeDouble("CurrentDetectValueMA", 9.66, "%.5f");
    EXPECT_EQ(Text(info, "CurrentLPValueMA"), "0.00712");
    EXPECT_EQ(Text(info, "CurrentDetectValueMA"), "9.66000");
    EXPECT_EQ(parser.SaveToString().find(','), std::string::npos);
}

TEST(XMLParser, MalformedTextKeepsWhatWasParsed) {
    XMLParser parser;
    const char xml[] = "<AppConfig BaudRate=\"9600\"><ObjectInfo";
    EXPECT_EQ(parser.LoadFromMemory(xml, sizeof xml - 1), 0);
    XMLNode root;
    ASSERT_EQ(parser.FindRootNode("AppConfig", root), 1);
    EXPECT_EQ(Text(root, "BaudRate"), "9600");
    EXPECT_EQ(parser.IsModified(), 0);
}

}  // namespace
