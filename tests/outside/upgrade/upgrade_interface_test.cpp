// ctest-labels: net
// The firmware service client against a sample service, as file:// addresses and served by
// nginx on 127.0.0.1: log-on, the version list, version information, and downloads that only
// ever leave a checked archive behind.
#include "upgrade/upgrade_interface.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "common/misc/md5_test_support.h"
#include "core/hex_text.h"
#include "core/utf_convert.h"
#include "misc/md5.h"
#include "net/curl_library.h"
#include "net/http_transfer.h"
#include "support/nginx_server.h"
#include "support/sample_firmware_service.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

struct Report {
    uint64_t userData;
    uint64_t done;
    uint64_t total;
};

class RecordingListener : public INetFileCopyProgressListener {
public:
    explicit RecordingListener(int answer = 1) : m_answer(answer) {}
    int OnNetFileCopyProgress(uint64_t userData, uint64_t doneBytes, uint64_t totalBytes, double,
                              uint64_t*) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reports.push_back({userData, doneBytes, totalBytes});
        return m_answer;
    }
    std::vector<Report> Reports() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_reports;
    }

private:
    std::mutex m_lock;
    std::vector<Report> m_reports;
    int m_answer;
};

enum class Transport { File, Http };

// The sample service built into a folder and offered as a file:// or an http:// base address.
class ServiceTest : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override {
        unsetenv("ORBO_FIRMWARE_URL");
        if (GetParam() == Transport::Http) {
            m_nginx = std::make_unique<NginxServer>(NginxServer::Options{});
        }
    }
    void TearDown() override {
        unsetenv("ORBO_FIRMWARE_URL");
        Orbo_Upgrade_SetServiceUrl(nullptr);
    }

    // Builds the service with the script's arguments and points the client at it.
    void Serve(const std::vector<std::string>& args = {}) {
        std::string error;
        const std::string folder = ServiceFolder();
        ASSERT_TRUE(MakeSampleFirmwareService(folder, args, &error)) << error;
        if (m_nginx) {
            ASSERT_TRUE(m_nginx->Running() || m_nginx->Start()) << m_nginx->Error();
        }
        ASSERT_EQ(Orbo_Upgrade_SetServiceUrl(Base().c_str()), 1);
    }
    std::string ServiceFolder() const {
        return m_nginx ? m_nginx->DocRoot() + "/fw" : m_dir.File("service");
    }
    std::string Base() const {
        return m_nginx ? m_nginx->Url("/fw") : FileAddress(ServiceFolder());
    }
    std::string Archive(const std::string& version) const {
        return ServiceFolder() + "/archives/" + version + ".zip";
    }
    std::string LocalFolder() const {
        const std::string folder = m_dir.File("local");
        std::filesystem::create_directories(folder);
        return folder;
    }

    struct Info {
        int found = 0;
        CBaseStringA name, url, md5, size, dateNotes;
    };
    Info VersionInfo(const char* version) {
        Info info;
        info.found = Orbo_Upgrade_GetVersionInfo(-1, version, &info.name, &info.url, &info.md5,
                                                 &info.size, &info.dateNotes);
        return info;
    }

    TempDir m_dir;
    std::unique_ptr<NginxServer> m_nginx;
};

TEST_P(ServiceTest, LogonReadsTheIndexAndListsVersionsInServiceOrder) {
    Serve({"--version", "1.5.2", "--version", "1.6.0", "--version", "0.9"});
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    CBaseStringA versions;
    ASSERT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, &versions), 1);
    EXPECT_STREQ(versions.GetString(), "1.5.2;1.6.0;0.9");
    EXPECT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, nullptr), 0);
    CBaseStringA base;
    EXPECT_EQ(Orbo_Upgrade_GetServiceUrl(&base), 1);
    EXPECT_EQ(std::string(base.GetString()), Base());
}

TEST_P(ServiceTest, VersionInfoGivesNameAddressDigestSizeAndDateWithNotes) {
    Serve();
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    const Info info = VersionInfo("v1.6.0");
    ASSERT_EQ(info.found, 1);
    EXPECT_STREQ(info.name.GetString(), "1.6.0");
    EXPECT_EQ(std::string(info.url.GetString()), Base() + "/archives/1.6.0.zip");
    EXPECT_EQ(std::string(info.md5.GetString()), md5_test::LibraryMd5Of(Archive("1.6.0")));
    EXPECT_EQ(std::string(info.size.GetString()),
              std::to_string(std::filesystem::file_size(Archive("1.6.0"))));
    EXPECT_STREQ(info.dateNotes.GetString(), "2024-03-15 Sample firmware 1.6.0");

    // Texts filled by an earlier call are emptied by a failed one.
    Info missing = VersionInfo("1.6.0");
    missing.found = Orbo_Upgrade_GetVersionInfo(-1, "2.0", &missing.name, &missing.url,
                                                &missing.md5, &missing.size, &missing.dateNotes);
    EXPECT_EQ(missing.found, 0);
    EXPECT_EQ(missing.name.GetLength() + missing.url.GetLength() + missing.md5.GetLength() +
                  missing.size.GetLength() + missing.dateNotes.GetLength(),
              0);
}

TEST_P(ServiceTest, DownloadPutsTheVerifiedArchiveInPlaceWithProgress) {
    Serve({"--image-size", "700000"});  // archives of several copy blocks
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    Info info = VersionInfo("1.5.2");
    ASSERT_EQ(info.found, 1);
    const std::string local = LocalFolder() + "/download.zip";
    RecordingListener listener;
    CBaseStringA md5(info.md5.GetString());
    md5.ToUpper();  // the expected digest may come in either case
    ASSERT_EQ(
        Orbo_Upgrade_DownloadFile(info.url.GetString(), local.c_str(), &md5, 0, &listener, 77), 1);
    EXPECT_EQ(ReadWholeFile(local), ReadWholeFile(Archive("1.5.2")));
    EXPECT_STREQ(md5.GetString(), info.md5.GetString());
    EXPECT_EQ(FolderEntries(LocalFolder()), std::vector<std::string>{"download.zip"});

    const uint64_t size = std::filesystem::file_size(Archive("1.5.2"));
    const std::vector<Report> reports = listener.Reports();
    ASSERT_GE(reports.size(), 2u);
    for (const Report& report : reports) {
        EXPECT_EQ(report.userData, 77u);
        EXPECT_EQ(report.total, size);
        EXPECT_LE(report.done, size);
    }
    EXPECT_EQ(reports.back().done, size);
}

TEST_P(ServiceTest, ADownloadThatFailsItsChecksLeavesNoArchiveAndKeepsTheOldFile) {
    Serve({"--wrong-md5", "1.5.1", "--wrong-size", "1.5.2", "--truncate", "1.6.0"});
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    const std::string folder = LocalFolder();
    for (const char* version : {"1.5.1", "1.5.2", "1.6.0"}) {
        Info info = VersionInfo(version);
        ASSERT_EQ(info.found, 1) << version;
        // Nothing there yet: nothing may appear.
        const std::string local = folder + "/download.zip";
        std::filesystem::remove(local);
        CBaseStringA md5(info.md5.GetString());
        EXPECT_EQ(
            Orbo_Upgrade_DownloadFile(info.url.GetString(), local.c_str(), &md5, 0, nullptr, 0), 0)
            << version;
        EXPECT_TRUE(FolderEntries(folder).empty()) << version;
        // An earlier archive stays as it was.
        std::ofstream(local, std::ios::binary) << "earlier archive";
        md5.Set(info.md5.GetString());
        EXPECT_EQ(
            Orbo_Upgrade_DownloadFile(info.url.GetString(), local.c_str(), &md5, 0, nullptr, 0), 0)
            << version;
        EXPECT_EQ(ReadWholeFile(local), "earlier archive") << version;
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"download.zip"}) << version;
    }
    // The refused digest is reported back: what actually arrived.
    Info info = VersionInfo("1.5.1");
    CBaseStringA md5(info.md5.GetString());
    ASSERT_EQ(Orbo_Upgrade_DownloadFile(info.url.GetString(), (folder + "/x.zip").c_str(), &md5, 0,
                                        nullptr, 0),
              0);
    EXPECT_EQ(std::string(md5.GetString()), md5_test::LibraryMd5Of(Archive("1.5.1")));
    EXPECT_NE(std::string(md5.GetString()), std::string(info.md5.GetString()));
}

TEST_P(ServiceTest, ACancelledDownloadLeavesNothing) {
    Serve();
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    Info info = VersionInfo("1.6.0");
    RecordingListener cancelling(0);
    const std::string local = LocalFolder() + "/download.zip";
    EXPECT_EQ(Orbo_Upgrade_DownloadFile(info.url.GetString(), local.c_str(), &info.md5, 0,
                                        &cancelling, 0),
              0);
    EXPECT_EQ(cancelling.Reports().size(), 1u);
    EXPECT_TRUE(FolderEntries(LocalFolder()).empty());
}

TEST_P(ServiceTest, RefusesDownloadsTheIndexCannotVouchFor) {
    Serve();
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    Info info = VersionInfo("1.6.0");
    const std::string local = LocalFolder() + "/download.zip";
    const struct {
        const char* what;
        std::string url;
        std::string md5;
    } cases[] = {
        {"not in the index", Base() + "/index.xml", info.md5.GetString()},
        {"not a served scheme", "ftp://127.0.0.1/fw/archives/1.6.0.zip", info.md5.GetString()},
        {"no digest", info.url.GetString(), ""},
        {"short digest", info.url.GetString(), "0123abc"},
        {"digest not hexadecimal", info.url.GetString(), std::string(32, 'z')},
    };
    for (const auto& c : cases) {
        CBaseStringA md5(c.md5.c_str());
        EXPECT_EQ(Orbo_Upgrade_DownloadFile(c.url.c_str(), local.c_str(), &md5, 0, nullptr, 0), 0)
            << c.what;
        EXPECT_TRUE(FolderEntries(LocalFolder()).empty()) << c.what;
    }
    EXPECT_EQ(
        Orbo_Upgrade_DownloadFile(info.url.GetString(), local.c_str(), nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(Orbo_Upgrade_DownloadFile(info.url.GetString(), "", &info.md5, 0, nullptr, 0), 0);
    EXPECT_TRUE(FolderEntries(LocalFolder()).empty());
}

TEST_P(ServiceTest, TheEnvironmentOverridesTheCallersAddress) {
    Serve();
    ASSERT_EQ(Orbo_Upgrade_SetServiceUrl(FileAddress(m_dir.File("nothing-here")).c_str()), 1);
    EXPECT_EQ(Orbo_Upgrade_Logon(), 0);
    setenv("ORBO_FIRMWARE_URL", Base().c_str(), 1);
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    CBaseStringA versions;
    ASSERT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, &versions), 1);
    EXPECT_STREQ(versions.GetString(), "1.5.1;1.5.2;1.6.0");
    unsetenv("ORBO_FIRMWARE_URL");
    EXPECT_EQ(Orbo_Upgrade_Logon(), 0);
    EXPECT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, &versions), 0);
}

TEST_P(ServiceTest, LogonFailsWithoutAUsableIndex) {
    Serve();
    const std::string folder = ServiceFolder();
    std::filesystem::create_directories(folder + "/broken");
    std::ofstream(folder + "/broken/index.xml") << "<FirmwareIndex><Version";
    std::filesystem::create_directories(folder + "/other");
    std::ofstream(folder + "/other/index.xml") << "<Index/>";
    for (const char* sub : {"/missing", "/broken", "/other"}) {
        ASSERT_EQ(Orbo_Upgrade_SetServiceUrl((Base() + sub).c_str()), 1);
        EXPECT_EQ(Orbo_Upgrade_Logon(), 0) << sub;
        CBaseStringA versions("stale");
        EXPECT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, &versions), 0) << sub;
        EXPECT_STREQ(versions.GetString(), "") << sub;
    }
}

TEST_P(ServiceTest, AServiceThatCannotBeReadAnyMoreIsNotAnsweredFromItsOldIndex) {
    Serve();
    ASSERT_EQ(Orbo_Upgrade_Logon(), 1);
    std::filesystem::rename(ServiceFolder() + "/index.xml", ServiceFolder() + "/index.old");
    EXPECT_EQ(Orbo_Upgrade_Logon(), 0);
    CBaseStringA versions;
    EXPECT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, &versions), 0);
    EXPECT_EQ(VersionInfo("1.6.0").found, 0);
    std::filesystem::rename(ServiceFolder() + "/index.old", ServiceFolder() + "/index.xml");
    EXPECT_EQ(Orbo_Upgrade_GetHistoryVersion(-1, &versions), 1);
    EXPECT_STREQ(versions.GetString(), "1.5.1;1.5.2;1.6.0");
}

INSTANTIATE_TEST_SUITE_P(Transports, ServiceTest,
                         ::testing::Values(Transport::File, Transport::Http),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return info.param == Transport::File ? "File" : "Http";
                         });

TEST(ServiceAddress, OnlyHttpHttpsAndFileAddressesAreTaken) {
    unsetenv("ORBO_FIRMWARE_URL");
    EXPECT_EQ(Orbo_Upgrade_SetServiceUrl("/srv/firmware"), 0);
    EXPECT_EQ(Orbo_Upgrade_SetServiceUrl("ftp://127.0.0.1/fw"), 0);
    EXPECT_EQ(Orbo_Upgrade_SetServiceUrl(nullptr), 1);
    CBaseStringA base("stale");
    EXPECT_EQ(Orbo_Upgrade_GetServiceUrl(&base), 0);
    EXPECT_STREQ(base.GetString(), "");
    EXPECT_EQ(Orbo_Upgrade_Logon(), 0);
    setenv("ORBO_FIRMWARE_URL", "/srv/firmware", 1);
    EXPECT_EQ(Orbo_Upgrade_Logon(), 0);
    unsetenv("ORBO_FIRMWARE_URL");
    EXPECT_EQ(Orbo_Upgrade_SetServiceUrl("HTTPS://127.0.0.1/fw/"), 1);
    EXPECT_EQ(Orbo_Upgrade_GetServiceUrl(&base), 1);
    EXPECT_STREQ(base.GetString(), "HTTPS://127.0.0.1/fw");
    Orbo_Upgrade_SetServiceUrl(nullptr);
}

TEST(ServiceAddress, AnHttpsServiceWithAnUntrustedCertificateIsRefused) {
    unsetenv("ORBO_FIRMWARE_URL");
    NginxServer nginx(NginxServer::Options{true, ""});
    std::string error;
    ASSERT_TRUE(MakeSampleFirmwareService(nginx.DocRoot() + "/fw", {}, &error)) << error;
    ASSERT_TRUE(nginx.Start()) << nginx.Error();
    ASSERT_EQ(Orbo_Upgrade_SetServiceUrl(nginx.Url("/fw").c_str()), 1);
    // The fixture's own certificate authority is not in the system's store; with it, the index
    // is there to be read.
    EXPECT_EQ(Orbo_Upgrade_Logon(), 0);
    std::string pem = ReadWholeFile(nginx.CaFile());
    CBaseBuffer ca;
    ca.SetBuffer(pem.data(), static_cast<uint32_t>(pem.size()));
    CBaseBuffer body;
    ASSERT_EQ(InitSysLibCURL(), 1);
    EXPECT_EQ(PerformHttpGetCommand(nginx.Url("/fw/index.xml").c_str(), &ca, nullptr, nullptr, 0,
                                    nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, &body),
              1);
    Orbo_Upgrade_SetServiceUrl(nullptr);
}

TEST(ServiceVersions, CompareAsDottedNumbersWithoutTheService) {
    EXPECT_GT(Orbo_Upgrade_CompareVersion("1.0.3", "1.0.2", 0), 0);
    EXPECT_LT(Orbo_Upgrade_CompareVersion("0.9", "1.0.2", 0), 0);
    EXPECT_EQ(Orbo_Upgrade_CompareVersion("v1.0.2", "1.0.2", 0), 0);
    EXPECT_GT(Orbo_Upgrade_CompareVersion("1.0.2", "", 0), 0);
    EXPECT_EQ(Orbo_Upgrade_CompareVersion("1.0.9", "1.0.2", 2), 0);
}

}  // namespace
