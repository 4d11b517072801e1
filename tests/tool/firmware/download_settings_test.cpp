// The firmware window's settings: the service address of the "Download" section and its
// environment override, the download file path kept and stored, and the skin file by language.
#include "firmware/download_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/base_string.h"
#include "support/scoped_env.h"
#include "upgrade/upgrade_interface.h"

namespace {

class DownloadSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string xml = "<AppConfig/>";
        m_document.LoadFromMemory(xml.data(), xml.size());
        m_document.FindRootNode("AppConfig", m_root);
    }
    void TearDown() override { Orbo_Upgrade_SetServiceUrl(nullptr); }

    void SetDownloadAttribute(const char* name, const char* value) {
        XMLNode download;
        m_root.FindOrAddChild(kDownloadSection, download);
        download.SetAttributeText(name, value);
    }
    std::string EffectiveUrl() {
        CBaseStringA base;
        Orbo_Upgrade_GetServiceUrl(&base);
        return base.GetString();
    }

    XMLParser m_document;
    XMLNode m_root;
    ScopedEnv m_url{kServiceUrlVariable, std::nullopt};
};

TEST_F(DownloadSettingsTest, TheServiceAddressComesFromTheSectionUnlessTheEnvironmentNamesOne) {
    std::string configured;
    EXPECT_EQ(ConfigureFirmwareService(m_root, configured), FirmwareServiceSetup::NoAddress);
    EXPECT_EQ(configured, "");

    SetDownloadAttribute(kServiceUrlAttribute, "/srv/firmware");
    EXPECT_EQ(ConfigureFirmwareService(m_root, configured), FirmwareServiceSetup::BadAddress);
    EXPECT_EQ(configured, "/srv/firmware");

    SetDownloadAttribute(kServiceUrlAttribute, "http://127.0.0.1:9/firmware");
    EXPECT_EQ(ConfigureFirmwareService(m_root, configured), FirmwareServiceSetup::Ok);
    EXPECT_EQ(EffectiveUrl(), "http://127.0.0.1:9/firmware");

    {
        ScopedEnv overridden(kServiceUrlVariable, "file:///srv/other");
        SetDownloadAttribute(kServiceUrlAttribute, "/not/an/address");
        EXPECT_EQ(ConfigureFirmwareService(m_root, configured), FirmwareServiceSetup::Ok);
        EXPECT_EQ(EffectiveUrl(), "file:///srv/other");
    }
    EXPECT_EQ(ConfigureFirmwareService(XMLNode(), configured), FirmwareServiceSetup::NoAddress);
}

TEST_F(DownloadSettingsTest, TheDownloadPathIsTheStoredOneElseTheProgramFolder) {
    EXPECT_EQ(InitialDownloadFilePath(m_root, u"/opt/tool"), u"/opt/tool");
    SetDownloadAttribute(kDownloadFilePathAttribute, "");
    EXPECT_EQ(InitialDownloadFilePath(m_root, u"/opt/tool"), u"/opt/tool");
    StoreDownloadFilePath(m_root, u"/data/固件/app.bin");
    EXPECT_EQ(InitialDownloadFilePath(m_root, u"/opt/tool"), u"/data/固件/app.bin");
    XMLNode download;
    ASSERT_TRUE(m_root.FindChild(kDownloadSection, download));
    CBaseStringA stored;
    download.GetAttributeText(kDownloadFilePathAttribute, stored);
    EXPECT_STREQ(stored.GetString(), "/data/固件/app.bin");
    EXPECT_TRUE(m_document.IsModified());
}

TEST_F(DownloadSettingsTest, APathKeepsItsFirst259UnitsWithoutSplittingACharacter) {
    const struct {
        std::u16string path;
        size_t kept;
    } cases[] = {
        {std::u16string(259, u'a'), 259},
        {std::u16string(300, u'a'), 259},
        // A character outside the basic plane whose second half would be unit 260.
        {std::u16string(258, u'a') + u"\U0001F600" + u"b", 258},
        {std::u16string(257, u'a') + u"\U0001F600" + u"b", 259},
    };
    for (const auto& c : cases) {
        const std::u16string kept = LimitDownloadFilePath(c.path);
        EXPECT_EQ(kept.size(), c.kept) << c.path.size();
        EXPECT_EQ(kept, c.path.substr(0, c.kept));
    }
}

TEST_F(DownloadSettingsTest, TheSkinFollowsTheLanguage) {
    EXPECT_EQ(FirmwareSkinRelativePath(UiLanguage::English), "ENG/Download/Download_FW.xml");
    EXPECT_EQ(FirmwareSkinRelativePath(UiLanguage::Chinese), "CHS/Download/Download_FW.xml");
}

}  // namespace
