// ctest-labels: sim
// "params diff" against the simulator: exactly the parameters that differ, sensor -> file, in
// text and JSON, and the exit status of equal and differing values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_test_support.h"

namespace {

class ParamsDiffTest : public CliTest {
protected:
    std::string AppConfig() const { return Home() + "/appConfig.xml"; }

    static std::string Settings(const std::string& attributes) {
        return "<?xml version=\"1.0\"?>\n<AppConfig>\n\t<ParamSetting " + attributes +
               "/>\n</AppConfig>\n";
    }
};

TEST_F(ParamsDiffTest, ListsExactlyTheParametersThatDiffer) {
    StartSim();
    struct Case {
        const char* attributes;
        int exitCode;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"DetectRangeMax=\"6.30\" Gate3TriggerThreshold=\"37\"", 0, {}},
        {"DetectRangeMax=\"4.90\"", 1, {"DetectRangeMax: 6.30 -> 4.90"}},
        {"Gate3TriggerThreshold=\"40\" ResponseFreq=\"1.0\" Gate15HoldThreshold=\"20\"",
         1,
         {"ResponseFreq: 2.0 -> 1.0", "Gate3TriggerThreshold: 37 -> 40",
          "Gate15HoldThreshold: 33 -> 20"}},
    };
    for (const Case& c : cases) {
        WriteWholeFile(Scratch("saved.xml"), Settings(c.attributes));
        const ProcessResult run = Cli({"params", "diff", Scratch("saved.xml")});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.attributes << run.err;
        EXPECT_EQ(SplitLines(run.out), c.lines) << c.attributes;
    }
    // Without FILE: appConfig.xml.
    WriteWholeFile(AppConfig(), Settings("ObjectDisappearReportTime=\"30\""));
    const ProcessResult own = Cli({"params", "diff"});
    EXPECT_EQ(own.exitCode, 1) << own.err;
    EXPECT_EQ(own.out, "ObjectDisappearReportTime: 20 -> 30\n");
}

TEST_F(ParamsDiffTest, JsonNamesBothSides) {
    StartSim();
    WriteWholeFile(Scratch("saved.xml"), Settings("DetectRangeMin=\"0.70\""));
    const ProcessResult differ = Cli({"params", "diff", Scratch("saved.xml"), "--json"});
    EXPECT_EQ(differ.exitCode, 1) << differ.err;
    EXPECT_EQ(differ.out, "{\"equal\":false,\"file\":\"" + Scratch("saved.xml") +
                              "\",\"changes\":[{\"name\":\"DetectRangeMin\",\"sensor\":0.00,"
                              "\"file\":0.70}]}\n");
    WriteWholeFile(Scratch("same.xml"), Settings("DetectRangeMin=\"0.00\""));
    const ProcessResult equal = Cli({"params", "diff", Scratch("same.xml"), "--json"});
    EXPECT_EQ(equal.exitCode, 0) << equal.err;
    EXPECT_EQ(equal.out,
              "{\"equal\":true,\"file\":\"" + Scratch("same.xml") + "\",\"changes\":[]}\n");
}

TEST_F(ParamsDiffTest, FilesThatCannotBeComparedAreFailures) {
    StartSim();
    WriteWholeFile(Scratch("other.xml"), "<Other/>");
    WriteWholeFile(Scratch("nosection.xml"), "<AppConfig/>");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"params", "diff", Scratch("missing.xml")}, 1, "cannot read"},
        {{"params", "diff", Scratch("other.xml")}, 1, "is not a settings file"},
        {{"params", "diff", Scratch("nosection.xml")}, 1, "holds no \"ParamSetting\" section"},
        {{"params", "diff"}, 1, "no settings file to load"},
        {{"params", "diff", "a", "b"}, 2, ""},
    };
    for (const Case& c : cases) {
        const ProcessResult run = Cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

}  // namespace
