// ctest-labels: slow
// The Debian package CPack makes of this build (what `make package` makes, here into a
// temporary folder): its listing, dependencies computed from the shared libraries, and lintian
// with nothing left but the overrides docs/packaging.md justifies.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_version.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"

namespace {

constexpr std::chrono::milliseconds kPackageDeadline{600000};
const std::string kLibDir = ORBO_INSTALL_LIBDIR;

ProcessResult RunTool(const std::vector<std::string>& argv) {
    ProcessOptions options;
    options.deadline = kPackageDeadline;
    return RunProcess(argv, options);
}

std::string Output(const std::vector<std::string>& argv) {
    const ProcessResult result = RunTool(argv);
    EXPECT_EQ(result.exitCode, 0) << argv[0] << ": " << result.out << result.err;
    return result.out;
}

// One test, so that one CPack run (it takes a while, and two would share the build tree) serves
// every check.
TEST(DebianPackage, IsCompleteDependsOnWhatItLoadsAndIsLintianClean) {
    const char* binDir = std::getenv("ORBO_TEST_BIN_DIR");
    ASSERT_NE(binDir, nullptr);
    const std::string buildDir = std::filesystem::path(binDir).parent_path().string();
    TempDir dir;
    const ProcessResult made =
        RunTool({ORBO_CPACK_COMMAND, "--config", buildDir + "/CPackConfig.cmake", "-B",
                 dir.Path().string()});
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
    std::string package;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        if (entry.path().extension() == ".deb") package = entry.path().string();
    }
    ASSERT_FALSE(package.empty()) << "cpack made no .deb: " << made.out;

    const std::string listing = Output({"dpkg-deb", "--contents", package});
    const std::string lib = "./usr/" + kLibDir;
    for (const std::string& path : std::vector<std::string>{
             "./usr/bin/Orbo_Zorvan_Tool", "./usr/bin/zorvan-cli", "./usr/bin/zorvan-sim",
             lib + "/libOrbo_Common.so.0.", lib + "/libOrbo_DataProcess.so.0 -> ",
             lib + "/libOrbo_Upgrade.so.0 -> ", lib + "/pkgconfig/orbo-common.pc",
             lib + "/cmake/OrboCommon/OrboCommonConfig.cmake",
             "./usr/include/orbo/core/base_string.h", "./usr/include/orbo/serial/serial_util.h",
             "./usr/share/Orbo_Zorvan_Tool/Image/Orbo_Zorvan_Tool.png",
             "./usr/share/applications/org.orbo.ZorvanTool.desktop",
             "./usr/share/metainfo/org.orbo.ZorvanTool.metainfo.xml",
             "./usr/share/icons/hicolor/48x48/apps/org.orbo.ZorvanTool.png",
             "./usr/share/man/man1/zorvan-cli.1.gz", "./usr/share/man/man1/zorvan-sim.1.gz",
             "./usr/share/bash-completion/completions/zorvan-cli",
             "./usr/lib/udev/rules.d/70-orbo-zorvan.rules",
             "./usr/share/doc/orbo-zorvan-tool/copyright"}) {
        EXPECT_NE(listing.find(path), std::string::npos) << path;
    }
    EXPECT_EQ(listing.find("_internal.h"), std::string::npos);

    const std::string depends = Output({"dpkg-deb", "--field", package, "Depends"});
    // libcurl4 is loaded at run time: named by hand, the rest computed.
    for (const char* needed : {"libc6", "libqt6widgets6", "libpugixml1v5", "libgif7", "libcurl4"}) {
        EXPECT_NE(depends.find(needed), std::string::npos) << depends;
    }
    // Its own libraries come with it.
    EXPECT_EQ(depends.find("Orbo"), std::string::npos) << depends;

    // Stripping kept the version note the desktop program's --version reads.
    const std::string extracted = dir.File("extracted");
    Output({"dpkg-deb", "-x", package, extracted});
    char version[64] = {};
    EXPECT_EQ(
        GetFileVersionA((extracted + "/usr/bin/Orbo_Zorvan_Tool").c_str(), version, sizeof version),
        1);
    EXPECT_STREQ(version, ORBO_PROJECT_VERSION);

    // Lintian: no error, no warning but those the overrides justify.
    const ProcessResult lint = RunTool({"lintian", "--fail-on", "error,warning", package});
    EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
    for (const std::string& line : SplitLines(lint.out)) {
        EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
        EXPECT_NE(line.rfind("W: ", 0), 0u) << line;
    }
}

}  // namespace
