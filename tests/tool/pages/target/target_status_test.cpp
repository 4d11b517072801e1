// ctest-labels: unit
#include "pages/target/target_status.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/text_format.h"
#include "pages/params/radar_param_setting.h"
#include "resources/string_table.h"

namespace {

class TargetStatusTest : public ::testing::Test {
protected:
    void SetUp() override { SetSelectedLanguage(UiLanguage::English); }
    void TearDown() override { SetSelectedLanguage(UiLanguage::English); }

    TargetReport Report(int state, int distance) {
        TargetReport report;
        report.state = state;
        report.distance = distance;
        return report;
    }

    std::string Current(int state) {
        std::string text;
        FormatText(text, "%.5f", EstimateAverageCurrent(state, m_constants, m_record));
        return text;
    }

    CurrentConstants m_constants;
    RadarParamSetting m_record;
};

TEST_F(TargetStatusTest, CurrentEstimatesOfTheDefaults) {
    EXPECT_EQ(Current(0), "0.14336");
    EXPECT_EQ(Current(1), "0.14336");
    EXPECT_EQ(Current(2), "0.07524");
    EXPECT_EQ(Current(3), "0.07524");
    EXPECT_EQ(Current(7), "0.00000");
    m_record.StateReportFreq = 10.0;
    EXPECT_EQ(Current(3), "0.11169");
}

TEST_F(TargetStatusTest, UnusableRatesGiveNoEstimateInsteadOfADivisionByZero) {
    for (const double rate : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        RadarParamSetting record;
        record.ResponseFreq = rate;
        EXPECT_EQ(EstimateAverageCurrent(0, m_constants, record), 0.0) << rate;
        record = RadarParamSetting();
        record.RangeReportFreq = rate;
        EXPECT_EQ(EstimateAverageCurrent(3, m_constants, record), 0.0) << rate;
    }
}

TEST_F(TargetStatusTest, StatusTextPerState) {
    const struct {
        int state;
        int distance;
        const char* expected;
    } cases[] = {
        {3, 123,
         "Target Status: Presence(Motionless)\r\nTarget Distance: 1.23m\r\nEstimated average "
         "operating current\r\n  (current configuration):0.07524 mA\r\nData transmission will "
         "increase power consumption."},
        {2, 250,
         "Target Status: Presence\r\nTarget Distance: 2.50m\r\nEstimated average operating "
         "current\r\n  (current configuration):0.07524 mA\r\nData transmission will increase "
         "power consumption."},
        {1, 456,
         "Target Status: None\r\nTarget Distance: 0.00m\r\nEstimated average operating "
         "current\r\n  (current configuration):0.14336 mA\r\nData transmission will increase "
         "power consumption."},
        {7, 123, ""},
        {-1, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatTargetStatus(Report(c.state, c.distance), m_constants, m_record),
                  c.expected)
            << c.state;
    }
}

TEST_F(TargetStatusTest, ChineseStatusText) {
    SetSelectedLanguage(UiLanguage::Chinese);
    EXPECT_EQ(FormatTargetStatus(Report(3, 123), m_constants, m_record),
              "目标状态: 有人(静止)\r\n目标距离: 1.23米\r\n预估平均工作电流（当前配置）：0.07524 "
              "mA\r\nMCU传输上位机数据会增加功耗");
}

TEST_F(TargetStatusTest, PicturesAndNames) {
    const struct {
        int state;
        TargetPicture picture;
        int name;
    } cases[] = {
        {0, TargetPicture::Nobody, kStrStateNone},
        {1, TargetPicture::Nobody, kStrStateNone},
        {2, TargetPicture::Motion, kStrStatePresence},
        {3, TargetPicture::Motionless, kStrStateMotionless},
        {4, TargetPicture::Unchanged, 0},
        {255, TargetPicture::Unchanged, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TargetStatePicture(c.state), c.picture) << c.state;
        EXPECT_EQ(TargetStateStringId(c.state), c.name) << c.state;
    }
    EXPECT_DOUBLE_EQ(ShownDistanceMetres(Report(2, 150)), 1.5);
    EXPECT_DOUBLE_EQ(ShownDistanceMetres(Report(0, 150)), 0.0);
}

}  // namespace
