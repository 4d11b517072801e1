// ctest-labels: slow sim
// The installed programs run with nothing from the build or source tree: the build is installed
// into a temporary root (DESTDIR) and the loader's report of every file each program loads is
// checked.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/installed_tree.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"

namespace {

const std::string kLibDir = ORBO_INSTALL_LIBDIR;

constexpr std::chrono::milliseconds kProgramDeadline{60000};

class InstalledPrograms : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tree.Installed()) << m_tree.Error(); }

    // The program ran from the installed tree and loaded our libraries from there only.
    void ExpectInstalledFilesOnly(const InstalledTree::Run& run) {
        ASSERT_FALSE(run.loaderReport.empty()) << "the loader reported nothing";
        for (const std::string& line : m_tree.LinesFromOutside(run.loaderReport)) {
            ADD_FAILURE() << "loaded from the build or source tree: " << line;
        }
        ExpectCommonLibraryFromPrefix(run.loaderReport);
    }

    void ExpectCommonLibraryFromPrefix(const std::string& report) {
        EXPECT_TRUE(m_tree.Loaded(report, kLibDir + "/libOrbo_Common.so.0"))
            << report.substr(0, 4000);
    }

    ProcessOptions Options() const {
        ProcessOptions options;
        options.deadline = kProgramDeadline;
        return options;
    }

    InstalledTree m_tree;
};

TEST_F(InstalledPrograms, CliShowsItsHelpAndVersion) {
    const auto help =
        m_tree.RunWithLoaderReport({m_tree.Path("bin/zorvan-cli"), "--help"}, Options());
    EXPECT_EQ(help.result.exitCode, 0) << help.result.err;
    EXPECT_EQ(help.result.out.rfind("Usage: zorvan-cli", 0), 0u) << help.result.out;
    ExpectInstalledFilesOnly(help);

    const auto version =
        m_tree.RunWithLoaderReport({m_tree.Path("bin/zorvan-cli"), "--version"}, Options());
    EXPECT_EQ(version.result.exitCode, 0) << version.result.err;
    EXPECT_EQ(version.result.out, std::string("zorvan-cli ") + ORBO_PROJECT_VERSION + "\n");
}

// The installed simulator on a pseudo-terminal, asked by the installed CLI.
TEST_F(InstalledPrograms, CliTalksToTheSimulator) {
    std::string simReport;
    {
        ScopedEnv bin("ORBO_TEST_BIN_DIR", m_tree.Path("bin"));
        std::vector<std::unique_ptr<ScopedEnv>> loader;
        for (const auto& [name, value] : m_tree.LoaderEnvironment("sim")) {
            loader.push_back(std::make_unique<ScopedEnv>(name, value));
        }
        ScopedEnv noLibraryPath("LD_LIBRARY_PATH", std::nullopt);
        SimProcess sim({"--serial-number", "ZVINSTALLED01"});
        ASSERT_TRUE(sim.Started()) << sim.Error();
        EXPECT_EQ(SimProcess::ProgramPath(), m_tree.Path("bin/zorvan-sim"));
        const auto info = m_tree.RunWithLoaderReport(
            {m_tree.Path("bin/zorvan-cli"), "--port", sim.PortPath(), "info"}, Options());
        EXPECT_EQ(info.result.exitCode, 0) << info.result.err;
        EXPECT_NE(info.result.out.find("ZVINSTALLED01"), std::string::npos) << info.result.out;
        ExpectInstalledFilesOnly(info);
        EXPECT_TRUE(sim.Stop().has_value());
    }
    simReport = m_tree.CollectLoaderReport("sim");
    ASSERT_FALSE(simReport.empty()) << "the simulator's loader report is missing";
    for (const std::string& line : m_tree.LinesFromOutside(simReport)) {
        ADD_FAILURE() << "the simulator loaded from the build or source tree: " << line;
    }
    ExpectCommonLibraryFromPrefix(simReport);
}

// The desktop program on Qt's offscreen platform prints its version and ends.
TEST_F(InstalledPrograms, ToolPrintsItsVersionOffscreen) {
    ProcessOptions options = Options();
    options.environment = {{"QT_QPA_PLATFORM", "offscreen"}};
    const auto run =
        m_tree.RunWithLoaderReport({m_tree.Path("bin/Orbo_Zorvan_Tool"), "--version"}, options);
    EXPECT_FALSE(run.result.timedOut) << "the program did not end";
    EXPECT_EQ(run.result.exitCode, 0) << run.result.err;
    EXPECT_EQ(run.result.out, std::string("Orbo_Zorvan_Tool ") + ORBO_PROJECT_VERSION + "\n");
    ExpectInstalledFilesOnly(run);
}

}  // namespace
