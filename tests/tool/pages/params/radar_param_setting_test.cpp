#include "pages/params/radar_param_setting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "app/xml_parser.h"
#include "core/base_string.h"
#include "core/dbg_output.h"
#include "support/comma_locale.h"
#include "support/log_capture.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void LoadDocument(XMLParser& document, const std::string& text) {
    document.LoadFromMemory(text.data(), text.size());
}

std::string Attribute(XMLParser& document, const char* name) {
    XMLNode section = FindParamSettingSection(document);
    CBaseStringA text;
    section.GetAttributeText(name, text);
    return text.GetString();
}

void ExpectDefaults(const RadarParamSetting& record) {
    EXPECT_EQ(record.RangeResolution, 0.7);
    EXPECT_EQ(record.DetectRangeMin, 0.0);
    EXPECT_EQ(record.DetectRangeMax, 6.3);
    EXPECT_EQ(record.ResponseFreq, 2.0);
    EXPECT_EQ(record.StateReportFreq, 1.0);
    EXPECT_EQ(record.RangeReportFreq, 1.0);
    EXPECT_EQ(record.ObjectDisappearReportTime, 20u);
    const uint32_t trigger[kGateCount] = {48, 48, 45, 37, 35, 35, 33, 33,
                                          33, 33, 33, 33, 33, 33, 33, 33};
    const uint32_t hold[kGateCount] = {45, 45, 48, 39, 35, 35, 33, 33,
                                       33, 33, 33, 33, 33, 33, 33, 33};
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], trigger[gate]) << "gate " << gate;
        EXPECT_EQ(record.HoldThreshold[gate], hold[gate]) << "gate " << gate;
    }
}

void ExpectSameRecord(const RadarParamSetting& actual, const RadarParamSetting& expected) {
    EXPECT_EQ(actual.RangeResolution, expected.RangeResolution);
    EXPECT_EQ(actual.DetectRangeMin, expected.DetectRangeMin);
    EXPECT_EQ(actual.DetectRangeMax, expected.DetectRangeMax);
    EXPECT_EQ(actual.ResponseFreq, expected.ResponseFreq);
    EXPECT_EQ(actual.StateReportFreq, expected.StateReportFreq);
    EXPECT_EQ(actual.RangeReportFreq, expected.RangeReportFreq);
    EXPECT_EQ(actual.ObjectDisappearReportTime, expected.ObjectDisappearReportTime);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(actual.TriggerThreshold[gate], expected.TriggerThreshold[gate]) << gate;
        EXPECT_EQ(actual.HoldThreshold[gate], expected.HoldThreshold[gate]) << gate;
    }
}

// A record whose every field differs from the defaults.
RadarParamSetting ChangedRecord() {
    RadarParamSetting record;
    record.RangeResolution = 0.75;
    record.DetectRangeMin = 1.5;
    record.DetectRangeMax = 4.25;
    record.ResponseFreq = 1.0;
    record.StateReportFreq = 4.0;
    record.RangeReportFreq = 2.0;
    record.ObjectDisappearReportTime = 45;
    for (int gate = 0; gate < kGateCount; ++gate) {
        record.TriggerThreshold[gate] = 60 + gate;
        record.HoldThreshold[gate] = 20 + gate;
    }
    return record;
}

TEST(RadarParamSetting, FreshRecordHoldsTheFactoryDefaults) {
    RadarParamSetting record;
    ExpectDefaults(record);
}

TEST(RadarParamSetting, ResetToDefaultsRestoresEveryField) {
    RadarParamSetting record = ChangedRecord();
    ResetToDefaults(record);
    ExpectDefaults(record);
}

TEST(RadarParamSetting, MetresConvertToGatesByTruncation) {
    struct Case {
        double metres;
        double resolution;
        uint32_t gate;
    } cases[] = {
        {6.3, 0.7, 9},  // default window end
        {0.0, 0.7, 0},
        {20.0, 0.7, 16},               // beyond the last gate: clamped, not 28
        {2.1, 0.7, 3},                 // as typed into the page
        {2.0999999999999996, 0.7, 3},  // gate 3 as read back (3 × 0.7)
        {2.0999, 0.7, 2},              // really below gate 3
        {8.4, 0.7, 12},
        {11.2, 0.7, 16},
        {11.19, 0.7, 15},
        {-0.35, 0.7, 0},  // left by the page's corrections
        {-1.0, 0.7, 0},   // negative metres: gate 0, never a wrapped number
        {-1e300, 0.7, 0},
        {1e300, 0.7, 16},
        {1.0, 1e-320, 16},  // quotient overflows to infinity
        {kInf, 0.7, 16},
    };
    for (const Case& c : cases) {
        uint32_t gate = 99;
        if (std::isinf(c.metres)) {
            EXPECT_FALSE(MetresToGate(c.metres, c.resolution, &gate)) << c.metres;
            EXPECT_EQ(gate, 99u);
            continue;
        }
        ASSERT_TRUE(MetresToGate(c.metres, c.resolution, &gate)) << c.metres;
        EXPECT_EQ(gate, c.gate) << c.metres << " / " << c.resolution;
    }
}

// A record read from the sensor and written back unchanged sends the gates it was read with
// (gates 3, 6 and 12 of 0.7 m read back a hair below their whole quotients).
TEST(RadarParamSetting, GatesReadBackWriteTheSameGates) {
    for (double resolution : {0.7, 0.75, 0.35, 0.2, 0.25, 0.3, 0.5, 0.6, 0.8}) {
        for (uint32_t gate = 0; gate <= 16; ++gate) {
            SensorDetectSetting read;
            read.minGate = gate;
            read.maxGate = 16 - gate;
            read.responseSpeed = 20;
            read.stateReportRate = 10;
            read.rangeReportRate = 10;
            RadarParamSetting record;
            ResetToDefaults(record);
            record.RangeResolution = resolution;
            FromSensorDetectSetting(read, record);
            SensorDetectSetting written;
            ASSERT_TRUE(ToSensorDetectSetting(record, &written));
            EXPECT_EQ(written.minGate, read.minGate) << gate << " × " << resolution;
            EXPECT_EQ(written.maxGate, read.maxGate) << 16 - gate << " × " << resolution;
        }
    }
}

TEST(RadarParamSetting, GateConversionRefusesWhatCannotBeDivided) {
    struct Case {
        double metres;
        double resolution;
    } cases[] = {
        {6.3, 0.0}, {6.3, -0.7}, {6.3, kNaN}, {6.3, kInf}, {6.3, -kInf}, {kNaN, 0.7}, {-kInf, 0.7},
    };
    for (const Case& c : cases) {
        uint32_t gate = 99;
        EXPECT_FALSE(MetresToGate(c.metres, c.resolution, &gate))
            << c.metres << " / " << c.resolution;
        EXPECT_EQ(gate, 99u);
    }
}

TEST(RadarParamSetting, ValuesConvertToTenthsByTruncationWithinTheUnsignedRange) {
    struct Case {
        double value;
        uint32_t tenths;
    } cases[] = {
        {2.0, 20},
        {1.0, 10},
        {8.0, 80},
        {0.15, 1},
        {0.05, 0},
        {0.0, 0},
        {-3.0, 0},  // negative: clamped to 0 instead of an undefined conversion
        {429496729.5, 4294967295u},
        {1e12, 4294967295u},
    };
    for (const Case& c : cases) {
        uint32_t tenths = 12345;
        ASSERT_TRUE(ValueToTenths(c.value, &tenths)) << c.value;
        EXPECT_EQ(tenths, c.tenths) << c.value;
    }
    for (double refused : {kNaN, kInf, -kInf}) {
        uint32_t tenths = 12345;
        EXPECT_FALSE(ValueToTenths(refused, &tenths));
        EXPECT_EQ(tenths, 12345u);
    }
}

TEST(RadarParamSetting, DefaultsGoToTheSensorAsGates0And9AndTenths) {
    RadarParamSetting record;
    SensorDetectSetting setting;
    ASSERT_TRUE(ToSensorDetectSetting(record, &setting));
    EXPECT_EQ(setting.minGate, 0u);
    EXPECT_EQ(setting.maxGate, 9u);
    EXPECT_EQ(setting.responseSpeed, 20u);
    EXPECT_EQ(setting.stateReportRate, 10u);
    EXPECT_EQ(setting.rangeReportRate, 10u);
    EXPECT_EQ(setting.absenceSeconds, 20u);
}

TEST(RadarParamSetting, UnconvertibleDetectSettingIsRefusedWhole) {
    struct Case {
        const char* what;
        void (*spoil)(RadarParamSetting&);
    } cases[] = {
        {"zero resolution", [](RadarParamSetting& r) { r.RangeResolution = 0.0; }},
        {"negative resolution", [](RadarParamSetting& r) { r.RangeResolution = -0.7; }},
        {"NaN minimum", [](RadarParamSetting& r) { r.DetectRangeMin = kNaN; }},
        {"infinite maximum", [](RadarParamSetting& r) { r.DetectRangeMax = kInf; }},
        {"NaN response", [](RadarParamSetting& r) { r.ResponseFreq = kNaN; }},
        {"infinite state rate", [](RadarParamSetting& r) { r.StateReportFreq = kInf; }},
        {"NaN range rate", [](RadarParamSetting& r) { r.RangeReportFreq = kNaN; }},
    };
    for (const Case& c : cases) {
        RadarParamSetting record;
        c.spoil(record);
        SensorDetectSetting setting;
        setting.minGate = 77;
        LogCapture errors({.level = kDbgLevelError});
        EXPECT_FALSE(ToSensorDetectSetting(record, &setting)) << c.what;
        EXPECT_EQ(setting.minGate, 77u) << c.what;
        EXPECT_EQ(errors.Lines().size(), 1u) << c.what;
    }
}

TEST(RadarParamSetting, SensorGatesBecomeProductsOfGateAndResolution) {
    RadarParamSetting record;
    SensorDetectSetting setting{3, 12, 10, 50, 25, 30};
    FromSensorDetectSetting(setting, record);
    EXPECT_EQ(record.DetectRangeMin, 3 * 0.7);
    EXPECT_EQ(record.DetectRangeMax, 12 * 0.7);
    EXPECT_NEAR(record.DetectRangeMin, 2.1, 1e-12);
    EXPECT_NEAR(record.DetectRangeMax, 8.4, 1e-12);
    EXPECT_EQ(record.ResponseFreq, 1.0);
    EXPECT_EQ(record.StateReportFreq, 5.0);
    EXPECT_EQ(record.RangeReportFreq, 2.5);
    EXPECT_EQ(record.ObjectDisappearReportTime, 30u);
}

TEST(RadarParamSetting, SensorFrequencyOfZeroIsRefusedAndTheRestTaken) {
    struct Case {
        SensorDetectSetting setting;
        double response, state, range;
    } cases[] = {
        {{1, 5, 0, 30, 20, 7}, 1.5, 3.0, 2.0},
        {{1, 5, 10, 0, 20, 7}, 1.0, 1.5, 2.0},
        {{1, 5, 10, 30, 0, 7}, 1.0, 3.0, 2.5},
        {{1, 5, 0, 0, 0, 7}, 1.5, 1.5, 2.5},
    };
    for (const Case& c : cases) {
        RadarParamSetting record;
        record.ResponseFreq = 1.5;
        record.StateReportFreq = 1.5;
        record.RangeReportFreq = 2.5;
        LogCapture warnings({.level = kDbgLevelWarning});
        FromSensorDetectSetting(c.setting, record);
        EXPECT_EQ(record.ResponseFreq, c.response);
        EXPECT_EQ(record.StateReportFreq, c.state);
        EXPECT_EQ(record.RangeReportFreq, c.range);
        EXPECT_EQ(record.DetectRangeMin, 0.7);
        EXPECT_EQ(record.DetectRangeMax, 5 * 0.7);
        EXPECT_EQ(record.ObjectDisappearReportTime, 7u);
        const size_t zeros = (c.setting.responseSpeed == 0) + (c.setting.stateReportRate == 0) +
                             (c.setting.rangeReportRate == 0);
        EXPECT_EQ(warnings.Lines().size(), zeros);
    }
}

TEST(RadarParamSetting, DefaultsAreSavedWithTheirFormats) {
    XMLParser document;
    LoadDocument(document, "<AppConfig/>");
    RadarParamSetting record;
    ASSERT_EQ(SaveToConfig(record, document), 1);
    struct Case {
        const char* key;
        const char* text;
    } cases[] = {
        {"RangeResolution", "0.70"},         {"DetectRangeMin", "0.00"},
        {"DetectRangeMax", "6.30"},          {"ResponseFreq", "2.0"},
        {"StateReportFreq", "1.0"},          {"RangeReportFreq", "1.0"},
        {"ObjectDisappearReportTime", "20"}, {"Gate0TriggerThreshold", "48"},
        {"Gate2TriggerThreshold", "45"},     {"Gate3TriggerThreshold", "37"},
        {"Gate15TriggerThreshold", "33"},    {"Gate0HoldThreshold", "45"},
        {"Gate2HoldThreshold", "48"},        {"Gate3HoldThreshold", "39"},
        {"Gate15HoldThreshold", "33"},
    };
    for (const Case& c : cases) EXPECT_EQ(Attribute(document, c.key), c.text) << c.key;
    EXPECT_EQ(document.IsModified(), 1);
}

TEST(RadarParamSetting, SavedAttributesComeInTheirFixedOrder) {
    XMLParser document;
    LoadDocument(document, "<AppConfig/>");
    SaveToConfig(RadarParamSetting(), document);
    std::string expected =
        "<ParamSetting RangeResolution=\"0.70\" DetectRangeMin=\"0.00\" "
        "DetectRangeMax=\"6.30\" ResponseFreq=\"2.0\" StateReportFreq=\"1.0\" "
        "RangeReportFreq=\"1.0\" ObjectDisappearReportTime=\"20\"";
    const uint32_t trigger[kGateCount] = {48, 48, 45, 37, 35, 35, 33, 33,
                                          33, 33, 33, 33, 33, 33, 33, 33};
    const uint32_t hold[kGateCount] = {45, 45, 48, 39, 35, 35, 33, 33,
                                       33, 33, 33, 33, 33, 33, 33, 33};
    for (int gate = 0; gate < kGateCount; ++gate) {
        expected += " Gate" + std::to_string(gate) + "TriggerThreshold=\"" +
                    std::to_string(trigger[gate]) + "\"";
    }
    for (int gate = 0; gate < kGateCount; ++gate) {
        expected +=
            " Gate" + std::to_string(gate) + "HoldThreshold=\"" + std::to_string(hold[gate]) + "\"";
    }
    expected += " />";
    EXPECT_NE(document.SaveToString().find(expected), std::string::npos) << document.SaveToString();
}

TEST(RadarParamSetting, SavingUnchangedValuesLeavesTheDocumentUnmodified) {
    XMLParser document;
    LoadDocument(document, "<AppConfig/>");
    SaveToConfig(RadarParamSetting(), document);
    const std::string saved = document.SaveToString();
    XMLParser reloaded;
    LoadDocument(reloaded, saved);
    ASSERT_EQ(reloaded.IsModified(), 0);

    SaveToConfig(RadarParamSetting(), reloaded);
    EXPECT_EQ(reloaded.IsModified(), 0);

    RadarParamSetting changed;
    changed.HoldThreshold[15] = 34;
    SaveToConfig(changed, reloaded);
    EXPECT_EQ(reloaded.IsModified(), 1);
    EXPECT_EQ(Attribute(reloaded, "Gate15HoldThreshold"), "34");
}

TEST(RadarParamSetting, SaveThenLoadGivesTheSameRecord) {
    XMLParser document;
    LoadDocument(document, "<AppConfig/>");
    const RadarParamSetting saved = ChangedRecord();
    SaveToConfig(saved, document);
    const std::string text = document.SaveToString();

    XMLParser reloaded;
    LoadDocument(reloaded, text);
    RadarParamSetting loaded;
    ASSERT_EQ(LoadFromConfig(loaded, reloaded), 1);
    ExpectSameRecord(loaded, saved);
}

TEST(RadarParamSetting, SavingInACommaLocaleStillWritesDecimalPoints) {
    ScopedCommaLocale comma;
    if (!comma.Available()) GTEST_SKIP() << comma.Reason();
    XMLParser document;
    LoadDocument(document, "<AppConfig/>");
    SaveToConfig(RadarParamSetting(), document);
    EXPECT_EQ(Attribute(document, "DetectRangeMax"), "6.30");
    RadarParamSetting loaded;
    loaded.DetectRangeMax = 1.0;
    LoadFromConfig(loaded, document);
    EXPECT_EQ(loaded.DetectRangeMax, 6.3);
}

TEST(RadarParamSetting, LoadingReadsEveryKeyWhateverItsLetterCase) {
    XMLParser document;
    std::string text =
        "<appconfig><paramsetting rangeresolution=\"0.75\" DETECTRANGEMIN=\"1.5\" "
        "DetectRangeMax=\"4.25\" ResponseFreq=\"1.0\" StateReportFreq=\"4.0\" "
        "RangeReportFreq=\"2.0\" ObjectDisappearReportTime=\"45\"";
    for (int gate = 0; gate < kGateCount; ++gate) {
        text += " gate" + std::to_string(gate) + "triggerthreshold=\"" + std::to_string(60 + gate) +
                "\" Gate" + std::to_string(gate) + "HoldThreshold=\"" + std::to_string(20 + gate) +
                "\"";
    }
    text += "/></appconfig>";
    LoadDocument(document, text);
    RadarParamSetting loaded;
    ASSERT_EQ(LoadFromConfig(loaded, document), 1);
    const RadarParamSetting expected = ChangedRecord();
    ExpectSameRecord(loaded, expected);
    EXPECT_EQ(document.IsModified(), 0);
}

TEST(RadarParamSetting, MissingOrEmptyAttributesLeaveTheCurrentValues) {
    struct Case {
        const char* section;
        double detectRangeMax;
        uint32_t gate4Trigger;
    } cases[] = {
        {"<ParamSetting/>", 4.25, 64},
        {"<ParamSetting DetectRangeMax=\"\"/>", 4.25, 64},
        {"<ParamSetting DetectRangeMax=\"\" Gate4TriggerThreshold=\"\"/>", 4.25, 64},
        {"<ParamSetting DetectRangeMax=\"5.6\"/>", 5.6, 64},
        {"<ParamSetting Gate4TriggerThreshold=\"0x30\"/>", 4.25, 48},
    };
    for (const Case& c : cases) {
        XMLParser document;
        LoadDocument(document, std::string("<AppConfig>") + c.section + "</AppConfig>");
        RadarParamSetting record = ChangedRecord();
        LoadFromConfig(record, document);
        EXPECT_EQ(record.DetectRangeMax, c.detectRangeMax) << c.section;
        EXPECT_EQ(record.TriggerThreshold[4], c.gate4Trigger) << c.section;
        EXPECT_EQ(record.RangeResolution, 0.75) << c.section;
        EXPECT_EQ(record.ResponseFreq, 1.0) << c.section;
    }
}

TEST(RadarParamSetting, ValuesThatWouldDivideByZeroOrAreNotFiniteAreRefusedOnLoading) {
    struct Case {
        const char* key;
        const char* text;
        double RadarParamSetting::*field;
    } cases[] = {
        {"RangeResolution", "0", &RadarParamSetting::RangeResolution},
        {"RangeResolution", "0.00", &RadarParamSetting::RangeResolution},
        {"RangeResolution", "-0.7", &RadarParamSetting::RangeResolution},
        {"RangeResolution", "abc", &RadarParamSetting::RangeResolution},  // reads as 0
        {"RangeResolution", "nan", &RadarParamSetting::RangeResolution},
        {"RangeResolution", "inf", &RadarParamSetting::RangeResolution},
        {"RangeResolution", "1e999", &RadarParamSetting::RangeResolution},
        {"ResponseFreq", "0", &RadarParamSetting::ResponseFreq},
        {"ResponseFreq", "-2.0", &RadarParamSetting::ResponseFreq},
        {"StateReportFreq", "0.0", &RadarParamSetting::StateReportFreq},
        {"StateReportFreq", "nan", &RadarParamSetting::StateReportFreq},
        {"RangeReportFreq", "0", &RadarParamSetting::RangeReportFreq},
        {"RangeReportFreq", "-inf", &RadarParamSetting::RangeReportFreq},
        {"DetectRangeMin", "nan", &RadarParamSetting::DetectRangeMin},
        {"DetectRangeMax", "1e999", &RadarParamSetting::DetectRangeMax},
    };
    for (const Case& c : cases) {
        XMLParser document;
        LoadDocument(document, std::string("<AppConfig><ParamSetting ") + c.key + "=\"" + c.text +
                                   "\" Gate0TriggerThreshold=\"50\"/></AppConfig>");
        RadarParamSetting record = ChangedRecord();
        const double before = record.*c.field;
        LogCapture warnings({.level = kDbgLevelWarning});
        LoadFromConfig(record, document);
        EXPECT_EQ(record.*c.field, before) << c.key << "=" << c.text;
        EXPECT_EQ(record.TriggerThreshold[0], 50u) << "the other keys are still read";
        const std::vector<std::string> lines = warnings.Texts();
        ASSERT_EQ(lines.size(), 1u) << c.key << "=" << c.text;
        EXPECT_NE(lines[0].find(c.key), std::string::npos) << lines[0];
    }
}

TEST(RadarParamSetting, UnusualButUsableValuesAreTakenAsTheyAre) {
    XMLParser document;
    LoadDocument(document,
                 "<AppConfig><ParamSetting DetectRangeMin=\"-0.35\" RangeResolution=\"0.5\" "
                 "ResponseFreq=\"0.05\" ObjectDisappearReportTime=\"-1\"/></AppConfig>");
    RadarParamSetting record;
    LoadFromConfig(record, document);
    EXPECT_EQ(record.DetectRangeMin, -0.35);
    EXPECT_EQ(record.RangeResolution, 0.5);
    EXPECT_EQ(record.ResponseFreq, 0.05);
    EXPECT_EQ(record.ObjectDisappearReportTime, 0xFFFFFFFFu);
}

TEST(RadarParamSetting, MissingSectionKeepsTheDefaultsAndIsAdded) {
    XMLParser document;
    LoadDocument(document, "<AppConfig BaudRate=\"9600\"/>");
    ASSERT_EQ(document.IsModified(), 0);
    RadarParamSetting record;
    ASSERT_EQ(LoadFromConfig(record, document), 1);
    ExpectDefaults(record);
    EXPECT_EQ(document.IsModified(), 1);
    EXPECT_NE(document.SaveToString().find("<ParamSetting />"), std::string::npos)
        << document.SaveToString();
}

TEST(RadarParamSetting, DocumentWithoutRootNeitherLoadsNorSaves) {
    XMLParser document;
    LoadDocument(document, "<Other RangeResolution=\"0.5\"/>");
    RadarParamSetting record = ChangedRecord();
    EXPECT_EQ(LoadFromConfig(record, document), 0);
    EXPECT_EQ(record.RangeResolution, 0.75);
    EXPECT_EQ(SaveToConfig(RadarParamSetting(), document), 0);
    EXPECT_EQ(document.IsModified(), 0);
    EXPECT_EQ(document.SaveToString().find("ParamSetting"), std::string::npos);

    XMLNode empty;
    EXPECT_EQ(LoadFromConfig(record, empty), 0);
    EXPECT_EQ(SaveToConfig(record, empty), 0);
}

}  // namespace
