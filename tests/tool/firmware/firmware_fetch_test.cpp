// The firmware page's online procedures against a sample service at a file:// address: listing
// newer versions, fetching a version into its folder only when everything checked out, and the
// progress arithmetic that must never divide by an unknown total.
#include "firmware/firmware_fetch.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "archive/zipper.h"
#include "common/misc/md5_test_support.h"
#include "core/hex_text.h"
#include "core/utf_convert.h"
#include "misc/md5.h"
#include "resources/string_table.h"
#include "support/sample_firmware_service.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"
#include "upgrade/upgrade_interface.h"

namespace {

namespace fs = std::filesystem;

struct Progress {
    int percent;
    uint64_t done;
    uint64_t total;
    std::string text;
};

class RecordingProgress : public IFirmwareFetchProgress {
public:
    void OnFirmwareFetchProgress(int percent, uint64_t doneBytes, uint64_t totalBytes, double,
                                 const std::string& text) override {
        reports.push_back({percent, doneBytes, totalBytes, text});
    }
    std::vector<Progress> reports;
};

class FirmwareFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("ORBO_FIRMWARE_URL");
        SetSelectedLanguage(UiLanguage::English);
    }
    void TearDown() override { Orbo_Upgrade_SetServiceUrl(nullptr); }

    void Serve(const std::vector<std::string>& args = {}) {
        std::vector<std::string> all{"--images-dir", Images()};
        all.insert(all.end(), args.begin(), args.end());
        std::string error;
        ASSERT_TRUE(MakeSampleFirmwareService(Service(), all, &error)) << error;
        ASSERT_EQ(Orbo_Upgrade_SetServiceUrl(FileAddress(Service()).c_str()), 1);
    }
    // Replaces the index by one offering the given archives (below the service) as they are.
    void ServeArchives(const std::vector<std::pair<std::string, std::string>>& versions) {
        std::string xml = "<FirmwareIndex>";
        for (const auto& [name, archive] : versions) {
            const std::string path = Service() + "/" + archive;
            xml += "<Version name=\"" + name + "\" archive=\"" + archive + "\" md5=\"" +
                   md5_test::LibraryMd5Of(path) + "\" size=\"" +
                   std::to_string(fs::file_size(path)) + "\" date=\"2024-05-01\" notes=\"\"/>";
        }
        WriteWholeFile(Service() + "/index.xml", xml + "</FirmwareIndex>");
        ASSERT_EQ(Orbo_Upgrade_SetServiceUrl(FileAddress(Service()).c_str()), 1);
    }

    std::string Service() const { return m_dir.File("service"); }
    std::string Images() const { return m_dir.File("images"); }
    std::string Root() const { return m_dir.File("FW_Image"); }
    std::string Image(const std::string& version, int partition) const {
        return ReadWholeFile(Images() + "/" + version + "/APP" + std::to_string(partition) +
                             ".bin");
    }
    // A version folder from an earlier fetch, with a file the new version does not have.
    std::map<std::string, std::string> PlantEarlierVersion(const std::string& version) {
        WriteWholeFile(Root() + "/" + version + "/APP0.bin", "earlier image 0");
        WriteWholeFile(Root() + "/" + version + "/APP5.bin", "earlier image 5");
        return ReadFolderTree(Root() + "/" + version);
    }

    TempDir m_dir;
};

TEST_F(FirmwareFetchTest, FetchUnpacksTheVersionIntoItsFolderWithProgress) {
    Serve({"--nested"});
    RecordingProgress progress;
    const FirmwareFetchResult result = FetchFirmwareVersion("1.6.0", Root(), &progress);
    ASSERT_EQ(result.status, FirmwareServiceStatus::Ok);
    EXPECT_EQ(result.version, "1.6.0");
    EXPECT_EQ(result.versionFolder, Root() + "/1.6.0");
    EXPECT_EQ(result.archivePath, Root() + "/download.zip");
    const std::map<std::string, std::string> expected{
        {"1.6.0/", ""},
        {"1.6.0/APP0.bin", Image("1.6.0", 0)},
        {"1.6.0/APP1.bin", Image("1.6.0", 1)},
        {"download.zip", ReadWholeFile(Service() + "/archives/1.6.0.zip")},
    };
    EXPECT_EQ(ReadFolderTree(Root()), expected);

    ASSERT_FALSE(progress.reports.empty());
    const uint64_t size = fs::file_size(Service() + "/archives/1.6.0.zip");
    int last = 0;
    for (const Progress& report : progress.reports) {
        EXPECT_EQ(report.total, size);
        EXPECT_GE(report.percent, last);
        last = report.percent;
    }
    EXPECT_EQ(progress.reports.back().percent, 100);
    EXPECT_EQ(progress.reports.back().text.rfind("Firmware download: 100%, ", 0), 0u)
        << progress.reports.back().text;
}

TEST_F(FirmwareFetchTest, FetchReplacesAnEarlierFolderOfTheVersionAsAWhole) {
    Serve();
    PlantEarlierVersion("v1.5.2");
    WriteWholeFile(Root() + "/download.zip", "archive of an earlier fetch");
    // The service's name is "1.5.2"; the sensor-style text finds it and its folder is "1.5.2".
    PlantEarlierVersion("1.5.2");
    const FirmwareFetchResult result = FetchFirmwareVersion("v1.5.2", Root(), nullptr);
    ASSERT_EQ(result.status, FirmwareServiceStatus::Ok);
    EXPECT_EQ(result.versionFolder, Root() + "/1.5.2");
    const std::map<std::string, std::string> expected{
        {"APP0.bin", Image("1.5.2", 0)},
        {"APP1.bin", Image("1.5.2", 1)},
    };
    EXPECT_EQ(ReadFolderTree(Root() + "/1.5.2"), expected);
    EXPECT_EQ(ReadWholeFile(Root() + "/download.zip"),
              ReadWholeFile(Service() + "/archives/1.5.2.zip"));
    // Nothing of the fetch's own work is left beside the folders.
    for (const auto& entry : fs::directory_iterator(Root())) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

// A fetch's own archive while it downloads; another fetch into the same folder meanwhile (a
// second tool, zorvan-cli) neither sees nor replaces it.
class FetchInTheMiddle : public IFirmwareFetchProgress {
public:
    explicit FetchInTheMiddle(std::string root) : m_root(std::move(root)) {}
    void OnFirmwareFetchProgress(int, uint64_t, uint64_t, double, const std::string&) override {
        if (m_done) return;
        m_done = true;
        for (const auto& entry : fs::directory_iterator(m_root)) {
            entriesDuringDownload.push_back(entry.path().filename().string());
        }
        other = FetchFirmwareVersion("1.5.2", m_root, nullptr);
    }
    std::vector<std::string> entriesDuringDownload;
    FirmwareFetchResult other;

private:
    std::string m_root;
    bool m_done = false;
};

TEST_F(FirmwareFetchTest, EachFetchDownloadsIntoAnArchiveOfItsOwn) {
    Serve();
    fs::create_directories(Root());
    FetchInTheMiddle middle(Root());
    const FirmwareFetchResult result = FetchFirmwareVersion("1.6.0", Root(), &middle);
    ASSERT_EQ(result.status, FirmwareServiceStatus::Ok);
    ASSERT_EQ(middle.other.status, FirmwareServiceStatus::Ok);
    // While the first one downloaded, nothing of it was named download.zip.
    ASSERT_FALSE(middle.entriesDuringDownload.empty());
    for (const std::string& name : middle.entriesDuringDownload) {
        EXPECT_NE(name.rfind("download.zip", 0), 0u) << name;
        EXPECT_EQ(name.rfind(".download-", 0), 0u) << name;
    }
    const std::map<std::string, std::string> expected{
        {"1.5.2/", ""},
        {"1.5.2/APP0.bin", Image("1.5.2", 0)},
        {"1.5.2/APP1.bin", Image("1.5.2", 1)},
        {"1.6.0/", ""},
        {"1.6.0/APP0.bin", Image("1.6.0", 0)},
        {"1.6.0/APP1.bin", Image("1.6.0", 1)},
        // The archive of the fetch that ended last.
        {"download.zip", ReadWholeFile(Service() + "/archives/1.6.0.zip")},
    };
    EXPECT_EQ(ReadFolderTree(Root()), expected);
}

TEST_F(FirmwareFetchTest, AFailedDownloadLeavesNoArchiveAndTheEarlierFolderUntouched) {
    Serve({"--wrong-md5", "1.5.1", "--wrong-size", "1.5.2", "--truncate", "1.6.0"});
    for (const char* version : {"1.5.1", "1.5.2", "1.6.0"}) {
        const std::map<std::string, std::string> earlier = PlantEarlierVersion(version);
        WriteWholeFile(Root() + "/download.zip", "archive of an earlier fetch");
        const FirmwareFetchResult result = FetchFirmwareVersion(version, Root(), nullptr);
        EXPECT_EQ(result.status, FirmwareServiceStatus::DownloadFailed) << version;
        EXPECT_EQ(FirmwareServiceMessageId(result.status), kStrServiceDownloadFailed);
        EXPECT_TRUE(result.versionFolder.empty());
        EXPECT_FALSE(fs::exists(Root() + "/download.zip")) << version;
        EXPECT_EQ(ReadFolderTree(Root() + "/" + version), earlier) << version;
    }
}

TEST_F(FirmwareFetchTest, AnArchiveThatDoesNotUnpackToImagesLeavesTheEarlierFolderUntouched) {
    Serve();
    // A damaged archive the index vouches for (its digest and size are those of the damage).
    std::string damaged = ReadWholeFile(Service() + "/archives/1.6.0.zip");
    damaged[1000] = static_cast<char>(damaged[1000] ^ 0x5A);
    WriteWholeFile(Service() + "/archives/damaged.zip", damaged);
    WriteWholeFile(Service() + "/archives/not-a-zip.zip", "plain text");
    WriteWholeFile(m_dir.File("readme.txt"), "no images here");
    CZipper zipper((Service() + "/archives/no-images.zip").c_str());
    ASSERT_TRUE(zipper.AddFileToZip(m_dir.File("readme.txt").c_str(), true));
    ASSERT_TRUE(zipper.CloseZip());
    ServeArchives({{"2.0", "archives/damaged.zip"},
                   {"2.1", "archives/not-a-zip.zip"},
                   {"2.2", "archives/no-images.zip"}});

    for (const char* version : {"2.0", "2.1", "2.2"}) {
        const std::map<std::string, std::string> earlier = PlantEarlierVersion(version);
        const FirmwareFetchResult result = FetchFirmwareVersion(version, Root(), nullptr);
        EXPECT_EQ(result.status, FirmwareServiceStatus::UnpackFailed) << version;
        EXPECT_EQ(FirmwareServiceMessageId(result.status), kStrBinFileError);
        EXPECT_EQ(ReadFolderTree(Root() + "/" + version), earlier) << version;
    }
    for (const auto& entry : fs::directory_iterator(Root())) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

TEST_F(FirmwareFetchTest, RefusesVersionTextsThatCouldNameAnotherFolder) {
    const struct {
        const char* what;
        std::string version;
    } cases[] = {
        {"parent", ".."},
        {"climbing", "../../etc"},
        {"inner parent", "1..2"},
        {"separator", "1.0/APP0.bin"},
        {"backslash", "1.0\\x"},
        {"absolute", "/tmp/x"},
        {"hidden", ".fetch-1"},
        {"line break", "1.0\n"},
        {"tab", "1.\t0"},
        {"delete", std::string("1.0\x7f")},
        {"too long", std::string(65, '1')},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(IsSafeFirmwareVersionText(c.version)) << c.what;
        const FirmwareFetchResult result = FetchFirmwareVersion(c.version, Root(), nullptr);
        EXPECT_EQ(result.status, FirmwareServiceStatus::BadVersionText) << c.what;
        EXPECT_EQ(FirmwareServiceMessageId(result.status), kStrServiceVersionFailed);
    }
    // Refused before the service or the image folder is touched.
    EXPECT_FALSE(fs::exists(Root()));
    const std::vector<std::string> good{"1.6.0", "v1.5.2", "2024-05 beta", std::string(64, '9')};
    for (const std::string& text : good) {
        EXPECT_TRUE(IsSafeFirmwareVersionText(text)) << text;
    }
    EXPECT_EQ(FetchFirmwareVersion("", Root(), nullptr).status, FirmwareServiceStatus::NoVersion);
    EXPECT_EQ(FirmwareServiceMessageId(FirmwareServiceStatus::NoVersion), 0);
}

TEST_F(FirmwareFetchTest, RefusesAServiceNameThatCouldNameAnotherFolder) {
    Serve();
    // "v.hidden" is a harmless text, but it finds the service's ".hidden".
    fs::copy_file(Service() + "/archives/1.6.0.zip", Service() + "/archives/hidden.zip");
    ServeArchives({{".hidden", "archives/hidden.zip"}});
    const FirmwareFetchResult result = FetchFirmwareVersion("v.hidden", Root(), nullptr);
    EXPECT_EQ(result.status, FirmwareServiceStatus::BadVersionText);
    EXPECT_FALSE(fs::exists(Root()));
}

TEST_F(FirmwareFetchTest, ServiceFailuresNameTheirMessages) {
    Orbo_Upgrade_SetServiceUrl(nullptr);
    FirmwareFetchResult result = FetchFirmwareVersion("1.6.0", Root(), nullptr);
    EXPECT_EQ(result.status, FirmwareServiceStatus::LogonFailed);
    EXPECT_EQ(FirmwareServiceMessageId(result.status), kStrServiceLogonFailed);
    Serve();
    result = FetchFirmwareVersion("9.9", Root(), nullptr);
    EXPECT_EQ(result.status, FirmwareServiceStatus::VersionInfoFailed);
    EXPECT_EQ(FirmwareServiceMessageId(result.status), kStrServiceVersionFailed);
    EXPECT_FALSE(fs::exists(Root()));
    // An image folder that cannot be made.
    WriteWholeFile(m_dir.File("file"), "x");
    result = FetchFirmwareVersion("1.6.0", m_dir.File("file") + "/FW_Image", nullptr);
    EXPECT_EQ(result.status, FirmwareServiceStatus::FolderFailed);
    EXPECT_EQ(FirmwareServiceMessageId(result.status), kStrServiceDownloadFailed);
}

TEST_F(FirmwareFetchTest, ListsVersionsNewerThanTheSensorsInServiceOrder) {
    Serve({"--version", "1.0.2", "--version", "1.0.3", "--version", "0.9", "--version", "1.1"});
    const struct {
        const char* sensor;
        std::vector<std::string> expected;
    } cases[] = {
        {"v1.0.2", {"1.0.3", "1.1"}},
        {"V1.0.2", {"1.0.3", "1.1"}},
        {"", {"1.0.2", "1.0.3", "0.9", "1.1"}},
        {"0.1", {"1.0.2", "1.0.3", "0.9", "1.1"}},
        {"v1.1", {}},
        {"v2.0", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> versions{"stale"};
        EXPECT_EQ(ListNewerFirmwareVersions(c.sensor, versions), FirmwareServiceStatus::Ok)
            << c.sensor;
        EXPECT_EQ(versions, c.expected) << c.sensor;
    }
    ASSERT_EQ(Orbo_Upgrade_SetServiceUrl(FileAddress(m_dir.File("none")).c_str()), 1);
    std::vector<std::string> versions{"stale"};
    EXPECT_EQ(ListNewerFirmwareVersions("v1.0.2", versions), FirmwareServiceStatus::LogonFailed);
    EXPECT_TRUE(versions.empty());
}

TEST(FirmwareFetchProgress, PercentNeverDividesByAnUnknownTotal) {
    const struct {
        uint64_t done;
        uint64_t total;
        int percent;
    } cases[] = {
        {0, 0, -1},
        {12345, 0, -1},
        {0, 10, 0},
        {5, 10, 50},
        {9, 10, 90},
        {10, 10, 100},
        {11, 10, 100},
        {UINT64_MAX - 1, UINT64_MAX, 99},
        {UINT64_MAX / 2, UINT64_MAX, 49},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirmwareFetchPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
    }
}

TEST(FirmwareFetchProgress, TextShowsPercentAndSpeedInBothLanguages) {
    SetSelectedLanguage(UiLanguage::English);
    EXPECT_EQ(FirmwareFetchProgressText(42, 1.5), "Firmware download: 42%, 1.50 kB/s");
    EXPECT_EQ(FirmwareFetchProgressText(-1, 0), "Firmware download: 0%, 0.00 kB/s");
    SetSelectedLanguage(UiLanguage::Chinese);
    EXPECT_EQ(FirmwareFetchProgressText(42, 1.5), "固件下载：42%，1.50 kB/s");
    SetSelectedLanguage(UiLanguage::English);
}

TEST(FirmwareImagePath, PicksThePartitionsImageOrTheFirstBinFile) {
    TempDir dir;
    const std::string both = dir.File("both");
    WriteWholeFile(both + "/APP0.bin", "0");
    WriteWholeFile(both + "/APP1.bin", "1");
    const std::string other = dir.File("other");
    WriteWholeFile(other + "/image.bin", "x");
    WriteWholeFile(other + "/notes.txt", "n");
    WriteWholeFile(other + "/.hidden.bin", "h");
    const std::string none = dir.File("none");
    WriteWholeFile(none + "/notes.txt", "n");
    fs::create_directories(dir.File("dir/APP0.bin"));

    EXPECT_EQ(FirmwareImagePath(both, 1, false), both + "/APP1.bin");
    EXPECT_EQ(FirmwareImagePath(both, 1, true), both + "/APP1.bin");
    EXPECT_EQ(FirmwareImagePath(both, 3, false), "");
    const std::string any = FirmwareImagePath(both, -1, true);
    EXPECT_TRUE(any == both + "/APP0.bin" || any == both + "/APP1.bin") << any;
    EXPECT_EQ(FirmwareImagePath(other, 0, true), other + "/image.bin");
    EXPECT_EQ(FirmwareImagePath(other, 0, false), "");
    EXPECT_EQ(FirmwareImagePath(none, -1, true), "");
    EXPECT_EQ(FirmwareImagePath(dir.File("dir"), 0, false), "");
    EXPECT_EQ(FirmwareImagePath(dir.File("missing"), 0, true), "");
}

}  // namespace
