// ctest-labels: sim net slow
// "firmware list", "firmware fetch" and "flash --version" against a sample firmware service
// (served by nginx on 127.0.0.1, or as a file:// address) and zorvan-sim: the versions offered,
// what lands in FW_Image, what the simulator holds afterwards, and every failure's exit status.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "support/nginx_server.h"
#include "support/sample_firmware_service.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kFastSim = {"--time-scale", "20"};
const std::vector<std::string> kVersions = {"--version", "1.5.1", "--version", "1.5.2",
                                            "--version", "1.6.0", "--version", "v1.7.0"};

class FirmwareServiceTest : public CliTest {
protected:
    // Builds the service (the sample versions and `args`) below the nginx document root when
    // served over http, else in the test's folder.
    void BuildService(const std::vector<std::string>& args = {}, bool http = false) {
        std::vector<std::string> all = kVersions;
        all.insert(all.end(), {"--images-dir", Scratch("images")});
        all.insert(all.end(), args.begin(), args.end());
        if (http) {
            m_nginx = std::make_unique<NginxServer>(NginxServer::Options{});
            m_serviceFolder = m_nginx->DocRoot() + "/firmware";
        } else {
            m_serviceFolder = Scratch("service");
        }
        std::string error;
        ASSERT_TRUE(MakeSampleFirmwareService(m_serviceFolder, all, &error)) << error;
        if (http) {
            ASSERT_TRUE(m_nginx->Start()) << m_nginx->Error();
            m_serviceUrl = m_nginx->Url("/firmware");
        } else {
            m_serviceUrl = FileAddress(m_serviceFolder);
        }
    }
    // appConfig.xml naming the service in its Download section.
    void ConfigureService(const std::string& url) {
        fs::create_directories(Home());
        WriteWholeFile(Home() + "/appConfig.xml",
                       "<?xml version=\"1.0\"?>\n<AppConfig>\n\t<Download FirmwareServiceUrl=\"" +
                           url + "\"/>\n</AppConfig>\n");
    }
    ProcessOptions WithEnvironmentService(const std::string& url) {
        ProcessOptions options;
        options.environment.push_back({"ORBO_FIRMWARE_URL", url});
        options.deadline = std::chrono::seconds(120);
        return options;
    }
    ProcessOptions WithoutEnvironmentService() {
        ProcessOptions options;
        options.unset.push_back("ORBO_FIRMWARE_URL");
        options.deadline = std::chrono::seconds(120);
        return options;
    }
    std::string Image(const std::string& version, int partition) {
        return ReadWholeFile(Scratch("images") + "/" + version + "/APP" +
                             std::to_string(partition) + ".bin");
    }
    std::string ImageRoot() const { return Home() + "/FW_Image"; }

    std::unique_ptr<NginxServer> m_nginx;
    std::string m_serviceFolder;
    std::string m_serviceUrl;
};

TEST_F(FirmwareServiceTest, ListShowsTheVersionsNewerThanTheSensorsFromTheSettingsAddress) {
    BuildService({}, true);
    ConfigureService(m_serviceUrl);
    StartSim();  // reports v1.5.2
    const ProcessResult text = Cli({"firmware", "list"}, WithoutEnvironmentService());
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "1.6.0\nv1.7.0\n");

    const ProcessResult json = Cli({"firmware", "list", "--json"}, WithoutEnvironmentService());
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out, "{\"sensorVersion\":\"v1.5.2\",\"versions\":[\"1.6.0\",\"v1.7.0\"]}\n");

    // Without the sensor: every version.
    const ProcessResult all = RunCli({"firmware", "list", "--all"}, WithoutEnvironmentService());
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, "1.5.1\n1.5.2\n1.6.0\nv1.7.0\n");
}

TEST_F(FirmwareServiceTest, ListOfASensorWithTheNewestVersionIsEmpty) {
    BuildService();
    StartSim({"--version-text", "V1.7.0"});
    const ProcessResult run = Cli({"firmware", "list"}, WithEnvironmentService(m_serviceUrl));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("No firmware version newer than V1.7.0 is offered."), std::string::npos)
        << run.err;
}

TEST_F(FirmwareServiceTest, TheEnvironmentAddressOverridesTheSettings) {
    BuildService();
    ConfigureService(FileAddress(Scratch("no-service-here")));
    const ProcessResult settingsOnly =
        RunCli({"firmware", "list", "--all"}, WithoutEnvironmentService());
    EXPECT_EQ(settingsOnly.exitCode, 1);
    EXPECT_NE(settingsOnly.err.find("Failed to log on to the firmware service!"), std::string::npos)
        << settingsOnly.err;
    const ProcessResult overridden =
        RunCli({"firmware", "list", "--all"}, WithEnvironmentService(m_serviceUrl));
    ASSERT_EQ(overridden.exitCode, 0) << overridden.err;
    EXPECT_EQ(overridden.out, "1.5.1\n1.5.2\n1.6.0\nv1.7.0\n");
}

TEST_F(FirmwareServiceTest, WithoutAnAddressTheCommandsSayWhereToSetOne) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"firmware", "list", "--all"}, {"firmware", "fetch", "1.6.0"}}) {
        const ProcessResult run = RunCli(args, WithoutEnvironmentService());
        EXPECT_EQ(run.exitCode, 1) << args[1];
        EXPECT_NE(run.err.find("no firmware service address: set FirmwareServiceUrl in the "
                               "Download section of appConfig.xml, or ORBO_FIRMWARE_URL"),
                  std::string::npos)
            << run.err;
    }
    ConfigureService("/srv/firmware");
    const ProcessResult notAnAddress =
        RunCli({"firmware", "list", "--all"}, WithoutEnvironmentService());
    EXPECT_EQ(notAnAddress.exitCode, 1);
    EXPECT_NE(notAnAddress.err.find("is not an http://, https:// or file:// address"),
              std::string::npos)
        << notAnAddress.err;
}

TEST_F(FirmwareServiceTest, FetchUnpacksTheVersionIntoItsFolderUnderFwImage) {
    BuildService({"--nested"}, true);
    const ProcessResult run =
        RunCli({"firmware", "fetch", "1.6.0"}, WithEnvironmentService(m_serviceUrl));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, ImageRoot() + "/1.6.0\n");
    EXPECT_EQ(ReadWholeFile(ImageRoot() + "/1.6.0/APP0.bin"), Image("1.6.0", 0));
    EXPECT_EQ(ReadWholeFile(ImageRoot() + "/1.6.0/APP1.bin"), Image("1.6.0", 1));
    EXPECT_EQ(ReadWholeFile(ImageRoot() + "/download.zip"),
              ReadWholeFile(m_serviceFolder + "/archives/1.6.0.zip"));
    EXPECT_NE(run.err.find("Firmware download: 100%"), std::string::npos) << run.err;

    const ProcessResult json =
        RunCli({"firmware", "fetch", "v1.7.0", "--json"}, WithEnvironmentService(m_serviceUrl));
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const std::string folder = ImageRoot() + "/v1.7.0";
    EXPECT_EQ(json.out, "{\"version\":\"v1.7.0\",\"folder\":\"" + folder + "\",\"archive\":\"" +
                            ImageRoot() + "/download.zip\",\"images\":[\"" + folder +
                            "/APP0.bin\",\"" + folder + "/APP1.bin\"]}\n");
}

TEST_F(FirmwareServiceTest, FetchOfADownloadThatDoesNotMatchItsDigestLeavesNothing) {
    BuildService({"--wrong-md5", "1.6.0"}, true);
    const ProcessResult run =
        RunCli({"firmware", "fetch", "1.6.0"}, WithEnvironmentService(m_serviceUrl));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Failed to download the firmware!"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(ImageRoot() + "/download.zip"));
    EXPECT_FALSE(fs::exists(ImageRoot() + "/1.6.0"));
}

TEST_F(FirmwareServiceTest, FetchFailuresHaveTheirExitStatus) {
    BuildService();
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"firmware", "fetch", "9.9"}, 1, "Failed to obtain the firmware version information!"},
        {{"firmware", "fetch", "../1.6.0"}, 2, "cannot be a firmware version"},
        {{"firmware", "fetch", "1.6.0/x"}, 2, "cannot be a firmware version"},
        {{"firmware", "fetch"}, 2, "needs more arguments"},
        {{"firmware", "fetch", "1.6.0", "1.5.2"}, 2, "does not take '1.5.2'"},
        {{"firmware", "list", "extra"}, 2, "does not take 'extra'"},
        {{"firmware", "upload"}, 2, "no subcommand 'firmware upload'"},
    };
    for (const auto& c : cases) {
        const ProcessResult run = RunCli(c.args, WithEnvironmentService(m_serviceUrl));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.back() << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(ImageRoot() + "/1.6.0"));
    EXPECT_FALSE(fs::exists(Scratch("1.6.0")));
}

TEST_F(FirmwareServiceTest, FlashVersionWritesTheFetchedImageIntoTheSensor) {
    BuildService({}, true);
    StartSim(kFastSim);
    const ProcessResult run = Cli({"flash", "--version", "1.6.0", "--partition", "1"},
                                  WithEnvironmentService(m_serviceUrl));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP1.bin"), Image("1.6.0", 1));
    EXPECT_EQ(ReadWholeFile(ImageRoot() + "/1.6.0/APP1.bin"), Image("1.6.0", 1));
    EXPECT_NE(run.err.find("Firmware download: 100%"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Download successful!"), std::string::npos) << run.err;
    // The fetch comes first, the firmware information query after it.
    EXPECT_LT(run.err.find("Firmware download: 100%"), run.err.find("Download successful!"));
}

TEST_F(FirmwareServiceTest, FlashVersionOverAFileAddressWritesPartitionZero) {
    BuildService();
    StartSim(kFastSim);
    const ProcessResult run = Cli({"flash", "--version", "v1.5.1", "--partition", "0"},
                                  WithEnvironmentService(m_serviceUrl));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP0.bin"), Image("1.5.1", 0));
}

TEST_F(FirmwareServiceTest, FlashVersionThatFailsToFetchWritesNothing) {
    BuildService({"--wrong-md5", "1.6.0", "--partitions", "1"});
    StartSim(kFastSim);
    const struct {
        const char* version;
        const char* partition;
        const char* message;
    } cases[] = {
        {"1.6.0", "1", "Failed to download the firmware!"},
        {"1.5.2", "1", "Bin file error! (version 1.5.2 has no APP1.bin)"},
        {"2.0", "0", "Failed to obtain the firmware version information!"},
    };
    for (const auto& c : cases) {
        const ProcessResult run = Cli({"flash", "--version", c.version, "--partition", c.partition},
                                      WithEnvironmentService(m_serviceUrl));
        EXPECT_EQ(run.exitCode, 1) << c.version << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Download successful!"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(m_sim->FlashDir() + "/APP1.bin"));
}

TEST_F(FirmwareServiceTest, FlashTakesEitherAVersionOrAFile) {
    BuildService();
    const ProcessResult both = RunCli({"flash", "--version", "1.6.0", "--partition", "1", "a.bin"},
                                      WithEnvironmentService(m_serviceUrl));
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_NE(both.err.find("does not take 'a.bin'"), std::string::npos) << both.err;
    const ProcessResult noValue = RunCli({"flash", "--partition", "1", "--version"});
    EXPECT_EQ(noValue.exitCode, 2);
    EXPECT_NE(noValue.err.find("option '--version' needs a value (VERSION)"), std::string::npos)
        << noValue.err;
    // Elsewhere --version is still the program's.
    const ProcessResult program = RunCli({"--version"});
    EXPECT_EQ(program.exitCode, 0);
    EXPECT_EQ(program.out.rfind("zorvan-cli ", 0), 0u) << program.out;
    const ProcessResult info = RunCli({"info", "--version"});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_EQ(info.out.rfind("zorvan-cli ", 0), 0u) << info.out;
}

}  // namespace
