#include "storage/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() { SetDefaultSettings(m_global, m_defaults, m_dir.path()); }

    std::string iniPath() const { return configurationFilePath(m_dir.path()); }
    void writeIni(std::string_view text) {
        ASSERT_TRUE(replaceFileAtomically(iniPath(), text).ok());
    }
    std::string iniText() const { return readWholeFile(iniPath()).valueOr("?"); }
    void load() { ASSERT_TRUE(LoadSettings(m_global, m_defaults, m_dir.path()).ok()); }
    void save() { ASSERT_TRUE(SaveSettings(m_global, m_defaults, m_dir.path()).ok()); }

    test::TempDirectory m_dir;
    GlobalOptions m_global;
    DefaultTaskOptions m_defaults;
};

TEST_F(SettingsFileTest, WithoutAFileTheBuiltInDefaultsHold) {
    load();
    GlobalOptions expected;
    expected.TaskRoot = m_dir.path() + "My Downloads/";
    EXPECT_EQ(m_global, expected);
    EXPECT_EQ(m_defaults, DefaultTaskOptions{});
    EXPECT_FALSE(fileExists(iniPath())) << "loading creates no file";
}

TEST_F(SettingsFileTest, ConvertsNumbersAndBooleansAsTheFileHasAlwaysBeenRead) {
    m_global.MaxHTTPConns = 7;  // a value that is not a number keeps the current one
    writeIni(
        "[General]\n"
        "MaxHTTPConns=many\n"
        "Pause=0x1F4\n"
        "HTTPTimeout=$A\n"
        "MaxFTPConns= 3 \n"
        "Notify=-1\n"
        "ObeyRobotExclusion=0\n"
        "UseHTTPProxy=2\n"
        "RetryOnFails=yes\n"
        "UseRasCtrl=65536\n"
        "SaveSeparate=0\n"
        "HTTPProxyPort=08080\n"
        "[Default]\n"
        "MaxFiles=70000\n"
        "DownloadFrom=258\n"
        "StartAfter=4294967296\n"
        "AcceptedFileExtensions=.htm .html \n");
    load();
    EXPECT_EQ(m_global.MaxHTTPConns, 7);
    EXPECT_EQ(m_global.Pause, 500);
    EXPECT_EQ(m_global.HTTPTimeout, 10);
    EXPECT_EQ(m_global.MaxFTPConns, 3);
    EXPECT_EQ(m_global.Notify, 65535);
    EXPECT_FALSE(m_global.ObeyRobotExclusion);
    EXPECT_TRUE(m_global.UseHTTPProxy);
    EXPECT_TRUE(m_global.RetryOnFails);
    EXPECT_TRUE(m_global.UseRasCtrl) << "a boolean is not cut to a width";
    EXPECT_FALSE(m_global.SaveSeparate);
    EXPECT_FALSE(m_defaults.SaveSeparate) << "the copy follows the global option";
    EXPECT_EQ(m_global.HTTPProxyPort, "08080");
    EXPECT_EQ(m_defaults.MaxFiles, 4464);
    EXPECT_EQ(m_defaults.DownloadFrom, 2);
    EXPECT_EQ(m_defaults.StartAfter, 10);
    EXPECT_EQ(m_defaults.AcceptedFileExtensions, ".htm .html ");
    EXPECT_EQ(m_defaults.MaxLevels, 3) << "a missing key keeps its value";
}

TEST_F(SettingsFileTest, HttpsAndCertificateChecksAreOnUnlessTheFileTurnsThemOff) {
    writeIni("[General]\nMaxHTTPConns=4\n");  // written before the keys existed
    load();
    EXPECT_TRUE(m_global.HTTPS);
    EXPECT_TRUE(m_global.VerifyCertificates);
    EXPECT_EQ(m_global.MaxConnsPerHost, 0) << "no cap per host";
    writeIni("[General]\nHTTPS=0\nVerifyCertificates=0\n");
    load();
    EXPECT_FALSE(m_global.HTTPS);
    EXPECT_FALSE(m_global.VerifyCertificates);
}

TEST_F(SettingsFileTest, SavesEveryKeyInTableOrder) {
    save();
    const std::string root = m_dir.path() + "My Downloads/";
    EXPECT_EQ(iniText(),
              "[General]\r\nNameAuto=1\r\nTaskRoot=" + root +
                  "\r\nSaveSeparate=1\r\nAlwaysRetrieve=0\r\nForceFTPRetrieve=0\r\n"
                  "BreakConnection=0\r\nMaxHTTPConns=10\r\nPause=500\r\nObeyRobotExclusion=1\r\n"
                  "HTTPTimeout=5\r\nUseHTTPProxy=0\r\nHTTPProxyName=\r\nHTTPProxyPort=\r\n"
                  "HTTPProxyUser=\r\nMaxFTPConns=5\r\nDefUser=anonymous\r\n"
                  "DefPassword=user@void\r\nFTPTimeout=5\r\nUseFTPProxy=0\r\nFTPProxyName=\r\n"
                  "Notify=2\r\nShowDropWindow=1\r\nPasteLinksFromClipboard=0\r\n"
                  "DropWindowPosition=\r\n"
                  "RetryOnFails=1\r\nUseRasCtrl=0\r\n"
                  "HTTPS=1\r\nVerifyCertificates=1\r\n"
                  "FastDispatch=0\r\n"
                  "MaxConnsPerHost=0\r\n"
                  "KeepAlive=0\r\n"
                  "\r\n"
                  "[Default]\r\nDirTemplate=Task\r\nStartingDoc=\r\nTrySlashes=0\r\nParse=1\r\n"
                  "StartAtOnce=1\r\nStartAfter=10\r\nDownloadFrom=2\r\nMaxLevels=3\r\n"
                  "MaxLevelsInf=0\r\nAcceptedFileExtensions=\r\nMaxFiles=300\r\n"
                  "MaxFilesInf=0\r\nFollowFTP=0\r\n"
                  "PageRequisites=0\r\nSiteLayout=0\r\n");
}

TEST_F(SettingsFileTest, EveryKeySurvivesARoundTrip) {
    m_global = GlobalOptions{.NameAuto = false,
                             .TaskRoot = "/srv/q/",
                             .SaveSeparate = false,
                             .AlwaysRetrieve = true,
                             .ForceFTPRetrieve = true,
                             .BreakConnection = true,
                             .MaxHTTPConns = 16,
                             .Pause = 10000,
                             .ObeyRobotExclusion = false,
                             .HTTPTimeout = 16,
                             .UseHTTPProxy = true,
                             .HTTPProxyName = "proxy",
                             .HTTPProxyPort = "3128",
                             .HTTPProxyUser = "user",
                             .HTTPProxyPassword = "pw",
                             .MaxFTPConns = 16,
                             .DefUser = "ftp",
                             .DefPassword = "me@example",
                             .FTPTimeout = 16,
                             .UseFTPProxy = true,
                             .FTPProxyName = "ftpproxy",
                             .Notify = 63,
                             .ShowDropWindow = false,
                             .PasteLinksFromClipboard = true,
                             .DropWindowPosition = "-20,700",
                             .RetryOnFails = false,
                             .UseRasCtrl = true,
                             .HTTPS = false,
                             .VerifyCertificates = false,
                             .FastDispatch = true,
                             .MaxConnsPerHost = 2,
                             .KeepAlive = true,
                             .SavePassword = true};
    m_defaults = DefaultTaskOptions{.DirTemplate = "Site",
                                    .StartingDoc = "index.html",
                                    .TrySlashes = true,
                                    .Parse = false,
                                    .StartAtOnce = false,
                                    .StartAfter = 600,
                                    .DownloadFrom = 3,
                                    .MaxLevels = 101,
                                    .MaxLevelsInf = true,
                                    .AcceptedFileExtensions = ".gif .jpg ",
                                    .MaxFiles = 10000,
                                    .MaxFilesInf = true,
                                    .FollowFTP = true,
                                    .PageRequisites = true,
                                    .SiteLayout = true,
                                    .SaveSeparate = false};
    save();
    const GlobalOptions savedGlobal = m_global;
    const DefaultTaskOptions savedDefaults = m_defaults;

    SetDefaultSettings(m_global, m_defaults, m_dir.path());
    load();
    EXPECT_EQ(m_global, savedGlobal);
    EXPECT_EQ(m_defaults, savedDefaults);
}

TEST_F(SettingsFileTest, AProxyPasswordIsWrittenOnlyWhenAskedButNeverRemoved) {
    m_global.HTTPProxyPassword = "unsaved";
    save();
    EXPECT_EQ(iniText().find("HTTPProxyPassword"), std::string::npos);

    m_global.SavePassword = true;
    m_global.HTTPProxyPassword = "secret";
    save();
    EXPECT_NE(iniText().find("\r\nHTTPProxyPassword=secret\r\n"), std::string::npos);

    m_global.SavePassword = false;
    m_global.HTTPProxyPassword = "changed";
    save();
    EXPECT_NE(iniText().find("HTTPProxyPassword=secret\r\n"), std::string::npos);

    SetDefaultSettings(m_global, m_defaults, m_dir.path());
    load();
    EXPECT_EQ(m_global.HTTPProxyPassword, "secret");
    EXPECT_TRUE(m_global.SavePassword) << "a stored password turns the flag back on";
}

TEST_F(SettingsFileTest, AValueWithALineBreakIsSkippedAndReported) {
    writeIni("[General]\r\nDefPassword=old\r\n");
    m_global.DefPassword = "a\r\n[General]\r\nTaskRoot=/elsewhere/";
    m_global.MaxFTPConns = 9;
    Status status = SaveSettings(m_global, m_defaults, m_dir.path());
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.error().text.find("DefPassword"), std::string::npos);

    SetDefaultSettings(m_global, m_defaults, m_dir.path());
    load();
    EXPECT_EQ(m_global.DefPassword, "old");
    EXPECT_EQ(m_global.MaxFTPConns, 9);
    EXPECT_EQ(m_global.TaskRoot, m_dir.path() + "My Downloads/");
}

TEST_F(SettingsFileTest, AnUnreadableFileIsReportedAndLeftAlone) {
    ASSERT_TRUE(createDirectories(iniPath()).ok());
    m_global.MaxHTTPConns = 4;
    EXPECT_FALSE(LoadSettings(m_global, m_defaults, m_dir.path()).ok());
    EXPECT_EQ(m_global.MaxHTTPConns, 4);
    EXPECT_FALSE(SaveSettings(m_global, m_defaults, m_dir.path()).ok());
    EXPECT_TRUE(std::filesystem::is_directory(iniPath()));
}

TEST_F(SettingsFileTest, EntriesGiveEveryKeyAsTextAndMarkTheProxyPassword) {
    m_global.HTTPProxyPassword = "pw";
    m_defaults.DownloadFrom = 3;
    std::vector<SettingEntry> entries = settingEntries(m_global, m_defaults);
    ASSERT_EQ(entries.size(), 47u);
    EXPECT_EQ(entries.front().section, "General");
    EXPECT_EQ(entries.front().key, "NameAuto");
    EXPECT_EQ(entries.front().value, "1");
    for (const SettingEntry& entry : entries) {
        EXPECT_EQ(entry.secret, entry.key == "HTTPProxyPassword") << entry.key;
        if (entry.key == "HTTPProxyPassword") {
            EXPECT_EQ(entry.value, "pw");
        }
        if (entry.key == "DownloadFrom") {
            EXPECT_EQ(entry.section, "Default");
            EXPECT_EQ(entry.value, "3") << "an 8-bit field is a number, not a character";
        }
    }
}

}  // namespace
}  // namespace quillharbor
