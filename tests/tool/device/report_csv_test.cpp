#include "device/report_csv.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/comma_locale.h"

namespace {

TEST(ReportCsvTest, HeaderNamesEveryColumn) {
    std::string expected = "seconds,state,distance_cm";
    for (int gate = 0; gate < kGateCount; ++gate) {
        expected += ",gate" + std::to_string(gate) + "_db";
    }
    EXPECT_EQ(ReportCsvHeader(), expected);
}

TEST(ReportCsvTest, RowsCarryRawStateDistanceAndEnergies) {
    TargetReport report;
    report.state = 3;
    report.distance = 150;
    for (int gate = 0; gate < kGateCount; ++gate) report.gateEnergy[gate] = gate * 1.25;
    struct Case {
        double seconds;
        const char* start;
    };
    for (const Case& c : {Case{0.0, "0.000,3,150,0.00,1.25"}, Case{12.3456, "12.346,3,150,"}}) {
        EXPECT_EQ(ReportCsvRow(report, c.seconds).rfind(c.start, 0), 0u)
            << ReportCsvRow(report, c.seconds);
    }
    const std::string row = ReportCsvRow(report, 1.5);
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 18);
    EXPECT_EQ(row.substr(row.size() - 6), ",18.75");
}

TEST(ReportCsvTest, DecimalPointsWhateverTheLocale) {
    ScopedCommaLocale comma;
    if (!comma.Available()) GTEST_SKIP() << comma.Reason();
    TargetReport report;
    report.gateEnergy[0] = 2.5;
    EXPECT_EQ(ReportCsvRow(report, 0.25).substr(0, 15), "0.250,0,0,2.50,");
}

}  // namespace
