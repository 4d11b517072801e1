// ctest-labels: slow
// Another program builds against the installed libOrbo_Common, through its pkg-config file and
// through its CMake package, with only the installed tree on its include and library paths, and
// runs.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "support/installed_tree.h"
#include "support/whole_file.h"

namespace {

const std::string kLibDir = ORBO_INSTALL_LIBDIR;

constexpr std::chrono::milliseconds kBuildDeadline{180000};

// Reaches the library through headers of two folders: "123456789" has the CRC 0x0376E6E7 in the
// library's default CRC-32 set.
constexpr const char* kProgram = R"(#include <cstdio>
#include "core/file_version.h"
#include "misc/crc32.h"

int main() {
    CCRC32 crc;
    crc.AppendData("123456789", 9);
    std::printf("crc=%08X version=%s\n", static_cast<unsigned>(crc.GetResult()),
                GetOrboVersionText());
    return 0;
}
)";

const std::string kExpectedOutput =
    std::string("crc=0376E6E7 version=") + ORBO_PROJECT_VERSION + "\n";

constexpr const char* kCMakeProject = R"(cmake_minimum_required(VERSION 3.25)
project(UsesOrboCommon LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(OrboCommon 0.1 REQUIRED)
add_executable(uses_orbo_common main.cpp)
target_link_libraries(uses_orbo_common PRIVATE Orbo::Common)
)";

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

class BuildAgainstInstall : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tree.Installed()) << m_tree.Error(); }

    ProcessOptions Options() const {
        ProcessOptions options;
        options.deadline = kBuildDeadline;
        options.unset = {"PKG_CONFIG_PATH", "CPATH",           "CPLUS_INCLUDE_PATH",
                         "LIBRARY_PATH",    "LD_LIBRARY_PATH", "CMAKE_PREFIX_PATH"};
        return options;
    }

    // Runs the built program from the installed tree's library folder only.
    void ExpectProgramRuns(const std::string& program) {
        ProcessOptions options = Options();
        options.environment = {{"LD_LIBRARY_PATH", m_tree.Path(kLibDir)}};
        const InstalledTree::Run run = m_tree.RunWithLoaderReport({program}, options);
        EXPECT_EQ(run.result.exitCode, 0) << run.result.err;
        EXPECT_EQ(run.result.out, kExpectedOutput);
        for (const std::string& line : m_tree.LinesFromOutside(run.loaderReport)) {
            ADD_FAILURE() << "loaded from the build or source tree: " << line;
        }
        EXPECT_TRUE(m_tree.Loaded(run.loaderReport, kLibDir + "/libOrbo_Common.so.0"));
    }

    InstalledTree m_tree;
};

TEST_F(BuildAgainstInstall, PkgConfigFlagsBuildAProgram) {
    ProcessOptions options = Options();
    options.environment = {{"PKG_CONFIG_PATH", m_tree.Path(kLibDir + "/pkgconfig")}};
    const ProcessResult flags =
        RunProcess({"pkg-config", "--cflags", "--libs", "orbo-common"}, options);
    ASSERT_EQ(flags.exitCode, 0) << flags.err;
    // The file finds the prefix from where it lies.
    EXPECT_NE(flags.out.find("-I" + m_tree.Prefix()), std::string::npos) << flags.out;
    EXPECT_EQ(flags.out.find(ORBO_SOURCE_DIR), std::string::npos) << flags.out;

    const std::string work = m_tree.Scratch("pkg-config");
    ASSERT_TRUE(WriteWholeFile(work + "/main.cpp", kProgram));
    std::vector<std::string> compile{
        ORBO_CXX_COMPILER, "-std=c++20",       "-Wall", "-Wextra",
        "-Werror",         work + "/main.cpp", "-o",    work + "/uses_orbo"};
    for (const std::string& flag : SplitWords(flags.out)) compile.push_back(flag);
    const ProcessResult built = RunProcess(compile, options);
    ASSERT_EQ(built.exitCode, 0) << built.err;
    ExpectProgramRuns(work + "/uses_orbo");
}

TEST_F(BuildAgainstInstall, CMakePackageBuildsAProgram) {
    const std::string work = m_tree.Scratch("cmake");
    ASSERT_TRUE(WriteWholeFile(work + "/main.cpp", kProgram));
    ASSERT_TRUE(WriteWholeFile(work + "/CMakeLists.txt", kCMakeProject));
    const ProcessResult configured =
        RunProcess({ORBO_CMAKE_COMMAND, "-S", work, "-B", work + "/build",
                    "-DCMAKE_PREFIX_PATH=" + m_tree.Prefix(),
                    "-DCMAKE_CXX_COMPILER=" + std::string(ORBO_CXX_COMPILER)},
                   Options());
    ASSERT_EQ(configured.exitCode, 0) << configured.out << configured.err;
    const ProcessResult built =
        RunProcess({ORBO_CMAKE_COMMAND, "--build", work + "/build"}, Options());
    ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
    ExpectProgramRuns(work + "/build/uses_orbo_common");
}

}  // namespace
