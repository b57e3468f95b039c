// The file of a task's own options beside its task file.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/files.h"
#include "platform/temp_directory.h"
#include "storage/grab_options_file.h"
#include "storage/ini_integer.h"
#include "storage/settings_file.h"

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
    void reload() {
        SetDefaultSettings(m_global, m_defaults, m_dir.path());
        ASSERT_TRUE(LoadSettings(m_global, m_defaults, m_dir.path()).ok());
    }
    void save() { ASSERT_TRUE(SaveSettings(m_global, m_defaults, m_dir.path()).ok()); }

    test::TempDirectory m_dir;
    GlobalOptions m_global;
    DefaultTaskOptions m_defaults;
};

TEST_F(SettingsFileTest, ConvertsNumbersAndBooleansAsTheFileHasAlwaysBeenRead) {
    m_global.MaxHTTPConns = 7;  // a value that is not a number keeps the current one
    writeIni(
        "[General]\nMaxHTTPConns=many\nPause=0x1F4\nHTTPTimeout=$A\nMaxFTPConns= 3 \n"
        "Notify=-1\nObeyRobotExclusion=0\nUseHTTPProxy=2\nUseRasCtrl=65536\nSaveSeparate=0\n"
        "HTTPProxyPort=08080\n"
        "[Default]\nMaxFiles=70000\nDownloadFrom=258\nStartAfter=4294967296\n"
        "AcceptedFileExtensions=.htm .html \n");
    ASSERT_TRUE(LoadSettings(m_global, m_defaults, m_dir.path()).ok());
    // An 8-bit field is a number, not a character; a boolean is not cut to a width; SaveSeparate's
    // copy follows; a missing key keeps its value.
    std::map<std::string, std::string> values;
    for (const SettingEntry& entry : settingEntries(m_global, m_defaults)) {
        values[entry.key] = entry.value;
    }
    const std::pair<const char*, const char*> expected[] = {
        {"MaxHTTPConns", "7"}, {"Pause", "500"},
        {"HTTPTimeout", "10"}, {"MaxFTPConns", "3"},
        {"Notify", "65535"},   {"ObeyRobotExclusion", "0"},
        {"UseHTTPProxy", "1"}, {"UseRasCtrl", "1"},
        {"SaveSeparate", "0"}, {"HTTPProxyPort", "08080"},
        {"MaxFiles", "4464"},  {"DownloadFrom", "2"},
        {"StartAfter", "10"},  {"AcceptedFileExtensions", ".htm .html "},
        {"MaxLevels", "3"}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(values[key], value) << key;
    }
    EXPECT_FALSE(m_defaults.SaveSeparate);
}

// Every key in table order; a file of values other than the defaults reads back whole, and the
// defaults read back as they were saved.
TEST_F(SettingsFileTest, SavesEveryKeyInTableOrderAndReadsEachBack) {
    save();
    EXPECT_TRUE(iniText().starts_with("[General]\r\nNameAuto=1\r\nTaskRoot=" + m_dir.path()));
    reload();
    EXPECT_EQ(m_defaults, DefaultTaskOptions{});
    const std::string changed =
        "[General]\r\nNameAuto=0\r\nTaskRoot=/srv/q/\r\nSaveSeparate=0\r\nAlwaysRetrieve=1\r\n"
        "ForceFTPRetrieve=1\r\nBreakConnection=1\r\nMaxHTTPConns=16\r\nPause=10000\r\n"
        "ObeyRobotExclusion=0\r\nHTTPTimeout=16\r\nUseHTTPProxy=1\r\nHTTPProxyName=proxy\r\n"
        "HTTPProxyPort=3128\r\nHTTPProxyUser=user\r\nHTTPProxyPassword=pw\r\nMaxFTPConns=16\r\n"
        "DefUser=ftp\r\nDefPassword=me@example\r\nFTPTimeout=16\r\nUseFTPProxy=1\r\n"
        "FTPProxyName=ftpproxy\r\nNotify=63\r\nShowDropWindow=0\r\nPasteLinksFromClipboard=1\r\n"
        "DropWindowPosition=-20,700\r\nRetryOnFails=0\r\nUseRasCtrl=1\r\nHTTPS=0\r\n"
        "VerifyCertificates=0\r\nFastDispatch=1\r\nMaxConnsPerHost=2\r\nKeepAlive=1\r\n\r\n"
        "[Default]\r\nDirTemplate=Site\r\nStartingDoc=index.html\r\nTrySlashes=1\r\nParse=0\r\n"
        "StartAtOnce=0\r\nStartAfter=600\r\nDownloadFrom=3\r\nMaxLevels=101\r\n"
        "MaxLevelsInf=1\r\nAcceptedFileExtensions=.gif .jpg \r\nMaxFiles=10000\r\n"
        "MaxFilesInf=1\r\nFollowFTP=1\r\nPageRequisites=1\r\nSiteLayout=1\r\n";
    writeIni(changed);
    reload();
    EXPECT_TRUE(m_global.SavePassword) << "a stored password turns the flag on";
    ASSERT_TRUE(deleteFile(iniPath()).ok());
    save();
    EXPECT_EQ(iniText(), changed);
}

// A proxy password is written only when asked but never removed; a value with a line break is
// skipped and reported while the others are saved.
TEST_F(SettingsFileTest, PasswordsAndValuesWithALineBreak) {
    m_global.HTTPProxyPassword = "unsaved";
    save();
    EXPECT_EQ(iniText().find("HTTPProxyPassword"), std::string::npos);
    m_global.SavePassword = true;
    m_global.HTTPProxyPassword = "secret";
    m_global.DefPassword = "old";
    save();
    m_global.SavePassword = false;
    m_global.HTTPProxyPassword = "changed";
    m_global.DefPassword = "a\r\n[General]\r\nTaskRoot=/elsewhere/";
    m_global.MaxFTPConns = 9;
    Status status = SaveSettings(m_global, m_defaults, m_dir.path());
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.error().text.find("DefPassword"), std::string::npos);
    reload();
    EXPECT_EQ(m_global.HTTPProxyPassword + "|" + m_global.DefPassword + "|" +
                  std::to_string(m_global.MaxFTPConns) + "|" + m_global.TaskRoot,
              "secret|old|9|" + m_dir.path() + "My Downloads/");
}

TEST_F(SettingsFileTest, AnUnreadableFileIsReportedAndLeftAlone) {
    ASSERT_TRUE(createDirectories(iniPath()).ok());
    m_global.MaxHTTPConns = 4;
    EXPECT_FALSE(LoadSettings(m_global, m_defaults, m_dir.path()).ok());
    EXPECT_EQ(m_global.MaxHTTPConns, 4);
    EXPECT_FALSE(SaveSettings(m_global, m_defaults, m_dir.path()).ok());
    EXPECT_TRUE(std::filesystem::is_directory(iniPath()));
}

// The grab options read back what was written and pass over keys they do not know.
TEST(GrabOptionsFile, ReadsBackWhatItWroteAndPassesOverKeysItDoesNotKnow) {
    GrabOptions options{.UserAgent = "Agent\\with\nbreak",
                        .ProxyHost = "proxy",
                        .ProxyPort = "3128",
                        .RateLimit = 204800,
                        .Include = "/docs/",
                        .Exclude = "\\.pdf$",
                        .NoRobots = true};
    const std::string text = composeGrabOptions(options);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "UserAgent=Agent\\\\with\\nbreak");
    Result<GrabOptions> read = parseGrabOptions(text + "Later=kept\nRateLimit=1000\n");
    ASSERT_TRUE(read.ok()) << read.error().text;
    options.RateLimit = 1000;
    EXPECT_EQ(composeGrabOptions(read.value()), composeGrabOptions(options));
    EXPECT_EQ(composeGrabOptions({}), "");
    EXPECT_FALSE(parseGrabOptions("RateLimit=fast\r\n").ok());
    EXPECT_FALSE(parseGrabOptions("no equals sign\r\n").ok());
}

// Decimal with blanks and a sign, and both hexadecimal forms, up to 32 bits; anything else is
// not a number.
TEST(IniIntegerTest, ReadsDecimalAndBothHexadecimalFormsOnly) {
    const std::pair<const char*, std::int64_t> numbers[] = {{" 12\t", 12},
                                                            {"+7", 7},
                                                            {"-1", -1},
                                                            {"007", 7},
                                                            {"0x1F4", 500},
                                                            {"0XfF", 255},
                                                            {"$1f4", 500},
                                                            {"-$10", -16},
                                                            {"4294967295", 4294967295},
                                                            {"$FFFFFFFF", 4294967295}};
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(parseIniInteger(text), value) << '"' << text << '"';
    }
    for (const char* text : {"", " ", "12abc", "1.5", "1 2", "- 1", "--1", "0x", "$", "0x1G", "$-1",
                             "4294967296", "0x100000000", "99999999999999999999999"}) {
        EXPECT_EQ(parseIniInteger(text), std::nullopt) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace quillharbor
