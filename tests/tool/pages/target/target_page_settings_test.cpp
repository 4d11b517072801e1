// ctest-labels: unit
#include "pages/target/target_page_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "app/xml_parser.h"

namespace {

XMLNode Section(XMLParser& document, const std::string& text) {
    document.LoadFromMemory(text.data(), text.size());
    return FindTargetPageSection(document);
}

TEST(TargetPageSettings, MissingSectionIsAddedAndDefaultsStay) {
    XMLParser document;
    XMLNode section = Section(document, "<AppConfig/>");
    ASSERT_FALSE(section.IsEmpty());
    EXPECT_TRUE(document.IsModified());
    TargetPageSettings settings;
    LoadTargetPageSettings(section, settings);
    EXPECT_EQ(settings.energyActiveColor, 0xFF000000u);
    EXPECT_EQ(settings.distanceStateHeight, 50u);
    EXPECT_DOUBLE_EQ(settings.current.lowPowerValueMa, 0.00712);
}

TEST(TargetPageSettings, NoRootNoSection) {
    XMLParser document;
    EXPECT_TRUE(Section(document, "<Other/>").IsEmpty());
}

TEST(TargetPageSettings, ReadsEveryKeyAndWritesThemInOrder) {
    XMLParser document;
    XMLNode section = Section(
        document,
        "<AppConfig><ObjectInfo EnergyWaveWnd_ActiveColor=\"0xff102030\" "
        "EnergyWaveWnd_InactiveColor=\"0x80c3c3c3\" EnergyWaveWnd_ValueAutoScale=\"1\" "
        "EnergyWaveWnd_ValueDisplayMax=\"80\" EnergyWaveWnd_WaveLineWidth=\"3\" "
        "DistanceWaveWnd_StateHeight=\"40\" DistanceWaveWnd_NobodyColor=\"0xff000001\" "
        "DistanceWaveWnd_MotionColor=\"0xff000002\" DistanceWaveWnd_MotionlessColor=\"0xff000003\" "
        "DistanceWaveWnd_WaveLineWidth=\"2\" CurrentDetectTimeMS=\"1.5\" "
        "CurrentDetectValueMA=\"2.5\" CurrentLPValueMA=\"\" CurrentReportTimeMS=\"3.5\" "
        "CurrentReportValueMA=\"4.5\"/></AppConfig>");
    TargetPageSettings settings;
    LoadTargetPageSettings(section, settings);
    EXPECT_EQ(settings.energyActiveColor, 0xFF102030u);
    EXPECT_EQ(settings.energyInactiveColor, 0x80C3C3C3u);
    EXPECT_EQ(settings.energyValueAutoScale, 1);
    EXPECT_EQ(settings.energyValueDisplayMax, 80);
    EXPECT_EQ(settings.energyWaveLineWidth, 3);
    EXPECT_EQ(settings.distanceStateHeight, 40u);
    EXPECT_EQ(settings.distanceNobodyColor, 0xFF000001u);
    EXPECT_EQ(settings.distanceMotionColor, 0xFF000002u);
    EXPECT_EQ(settings.distanceMotionlessColor, 0xFF000003u);
    EXPECT_EQ(settings.distanceWaveLineWidth, 2);
    EXPECT_DOUBLE_EQ(settings.current.detectTimeMs, 1.5);
    EXPECT_DOUBLE_EQ(settings.current.detectValueMa, 2.5);
    EXPECT_DOUBLE_EQ(settings.current.lowPowerValueMa, 0.00712);  // empty: default kept
    EXPECT_DOUBLE_EQ(settings.current.reportTimeMs, 3.5);
    EXPECT_DOUBLE_EQ(settings.current.reportValueMa, 4.5);

    XMLParser fresh;
    XMLNode written = Section(fresh, "<AppConfig/>");
    SaveTargetPageSettings(written, TargetPageSettings());
    EXPECT_NE(fresh.SaveToString().find("<ObjectInfo EnergyWaveWnd_ActiveColor=\"0xff000000\" "
                                        "EnergyWaveWnd_InactiveColor=\"0xbfc3c3c3\" "
                                        "EnergyWaveWnd_ValueAutoScale=\"0\" "
                                        "EnergyWaveWnd_ValueDisplayMax=\"100\" "
                                        "EnergyWaveWnd_WaveLineWidth=\"5\" "
                                        "DistanceWaveWnd_StateHeight=\"50\" "
                                        "DistanceWaveWnd_NobodyColor=\"0xff15bc59\" "
                                        "DistanceWaveWnd_MotionColor=\"0xfffc5d45\" "
                                        "DistanceWaveWnd_MotionlessColor=\"0xff3478ff\" "
                                        "DistanceWaveWnd_WaveLineWidth=\"5\" "
                                        "CurrentDetectTimeMS=\"7.05700\" "
                                        "CurrentDetectValueMA=\"9.66000\" "
                                        "CurrentLPValueMA=\"0.00712\" "
                                        "CurrentReportTimeMS=\"2.00200\" "
                                        "CurrentReportValueMA=\"2.03000\""),
              std::string::npos)
        << fresh.SaveToString();
}

TEST(TargetPageSettings, SavingWhatWasReadChangesNothing) {
    XMLParser document;
    XMLNode section = Section(document, "<AppConfig/>");
    SaveTargetPageSettings(section, TargetPageSettings());
    document.SetModified(0);
    TargetPageSettings settings;
    LoadTargetPageSettings(section, settings);
    SaveTargetPageSettings(section, settings);
    EXPECT_FALSE(document.IsModified());
}

}  // namespace
