#include "settings/SettingsStore.h"

#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"
#include "settings/ProfileFile.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pelimo {
namespace {

using platform::utf8ToSjis;

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    std::string read() const { return platform::readWholeFile(path, 1 << 20).value_or("<missing>"); }
    void write(const std::string& bytes) const { ASSERT_TRUE(platform::writeFileAtomically(path, bytes)); }

    test::TempFolder folder{"pelimo-settings"};
    const std::string dir = folder.path();
    const std::string path = folder.file("env.ini");
};

// The file a save creates when there was none: header, then the keys in their fixed order.
const char* const kDefaultFileUtf8 = "[環境設定]\r\n"
                                     "全般：標準ブラウザで開く（検索結果）=0\r\n"
                                     "全般：標準ブラウザで開く（アラート）=0\r\n"
                                     "HTML自動更新=0\r\n"
                                     "アラーム：監視間隔（分）=5\r\n"
                                     "アラーム：残り時間が少なくなったら警告=0\r\n"
                                     "アラーム：残り時間（分）=5\r\n"
                                     "アラーム：価格が変わったら警告=0\r\n"
                                     "アラーム：リストの色を変える=0\r\n"
                                     "アラーム：背景の色=255\r\n"
                                     "アラーム：文字の色=16777215\r\n"
                                     "アラーム：ポップアップ=0\r\n"
                                     "アラーム：メールでお知らせ=0\r\n"
                                     "アラーム：SMTPホスト=\r\n"
                                     "アラーム：SMTPポート番号=25\r\n"
                                     "アラーム：送信者メールアドレス=\r\n"
                                     "アラーム：送信先メールアドレス=\r\n"
                                     "アラーム：POPBSMTP=0\r\n"
                                     "アラーム：POP3ホスト=\r\n"
                                     "アラーム：POP3ポート番号=110\r\n"
                                     "アラーム：POP3ユーザID=\r\n"
                                     "アラーム：POP3パスワード=\r\n"
                                     "フォント：通常オークション（文字色）=64\r\n"
                                     "フォント：通常オークション（背景色）=16777215\r\n"
                                     "フォント：複数オークション（文字色）=64\r\n"
                                     "フォント：複数オークション（背景色）=16777215\r\n"
                                     "フォント：即決オークション（文字色）=64\r\n"
                                     "フォント：即決オークション（背景色）=16777215\r\n"
                                     "フォント：共同購入（文字色）=64\r\n"
                                     "フォント：共同購入（背景色）=16777215\r\n"
                                     "フォント：固定価格（文字色）=64\r\n"
                                     "フォント：固定価格（背景色）=16777215\r\n"
                                     "[拡張設定]\r\n"
                                     "接続：リスティングサービス=\r\n"
                                     "接続：商品ページ=\r\n"
                                     "終了間際：監視を速める=0\r\n"
                                     "終了間際：対象（分）=30\r\n"
                                     "終了間際：間隔（秒）=60\r\n"
                                     "メール：暗号化=0\r\n"
                                     "メール：SMTPユーザID=\r\n"
                                     "メール：SMTPパスワード=\r\n"
                                     "プッシュ：通知する=0\r\n"
                                     "プッシュ：URL=\r\n"
                                     "通知しない時間帯：する=0\r\n"
                                     "通知しない時間帯：開始=22:00\r\n"
                                     "通知しない時間帯：終了=07:00\r\n"
                                     "通知しない時間帯：終了間際は通知する=1\r\n"
                                     "一覧：画像を表示する=1\r\n"

                                     "履歴：保存期間（日）=365\r\n";

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndFirstSaveWritesEveryKeyInOrder)
{
    EnvSettings s;
    loadSettingsFrom(path, s);
    EXPECT_EQ(s, defaultSettings());
    EXPECT_EQ(s.watchIntervalMinutes, 5);
    EXPECT_EQ(s.remainingTimeMinutes, 5);
    EXPECT_EQ(s.alarmBackColour, 255u);
    EXPECT_EQ(s.alarmTextColour, 16777215u);
    EXPECT_EQ(s.smtpPort, 25);
    EXPECT_EQ(s.pop3Port, 110);
    for (const TypeColours& c : s.typeColours)
        EXPECT_EQ(c, (TypeColours{64, 16777215}));

    ASSERT_TRUE(saveSettingsTo(path, s));
    EXPECT_EQ(read(), utf8ToSjis(kDefaultFileUtf8));

    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "env.ini holds a password and must be private";
}

TEST_F(SettingsFileTest, NumbersFollowTheLeadingIntegerRule)
{
    write(utf8ToSjis("[環境設定]\r\n"
                     "アラーム：監視間隔（分）=\r\n"
                     "アラーム：SMTPポート番号= 587x\r\n"
                     "アラーム：メールでお知らせ=2\r\n"
                     "アラーム：POP3ポート番号=abc\r\n"
                     "アラーム：背景の色=-1\r\n"));
    EnvSettings s;
    loadSettingsFrom(path, s);
    EXPECT_EQ(s.watchIntervalMinutes, 0) << "an empty value reads as 0, not as the default";
    EXPECT_EQ(s.smtpPort, 587);
    EXPECT_EQ(s.alarmMail, 2);
    EXPECT_FALSE(isOn(s.alarmMail));
    EXPECT_EQ(s.pop3Port, 0);
    EXPECT_EQ(s.alarmBackColour, 0xffffffffu);
    EXPECT_EQ(s.remainingTimeMinutes, 5) << "a missing key keeps its default";
}

TEST_F(SettingsFileTest, SaveThenLoadGivesTheSameRecord)
{
    EnvSettings s = defaultSettings();
    s.openSearchInBrowser = 1;
    s.watchIntervalMinutes = 1000;
    s.alarmTextColour = 0x00123456;
    s.typeColours[4] = {1, 16777214};
    s.smtpHost = "smtp.example.org";
    s.mailTo = "a@example.org";
    s.pop3User = utf8ToSjis("利用者");
    s.pop3Password = " secret ";
    s.mailFrom = "\"quoted\"";
    ASSERT_TRUE(saveSettingsTo(path, s));
    EXPECT_NE(read().find(utf8ToSjis("アラーム：POP3パスワード=\" secret \"\r\n")), std::string::npos);

    EnvSettings back;
    loadSettingsFrom(path, back);
    EXPECT_EQ(back, s) << "blanks around a password and enclosing quotes survive the file";
}

TEST_F(SettingsFileTest, SaveKeepsEveryOtherLineOfAFileWrittenElsewhere)
{
    const std::string original = utf8ToSjis("; written by hand\r\n"
                                            "[other]\r\n"
                                            "x = 1\r\n"
                                            "\r\n"
                                            "[環境設定]\r\n"
                                            "HTML自動更新 = 1\r\n"
                                            "アラーム：SMTPホスト=\"mail.example.org\"\r\n"
                                            "\r\n"
                                            "[last]\r\n"
                                            "y=2");
    write(original);
    EnvSettings s;
    loadSettingsFrom(path, s);
    EXPECT_EQ(s.autoRefreshDetail, 1);
    EXPECT_EQ(s.smtpHost, "mail.example.org") << "one pair of enclosing quotes is removed";

    ASSERT_TRUE(saveSettingsTo(path, s));
    const std::string saved = read();
    EXPECT_EQ(saved.rfind(
                  utf8ToSjis("; written by hand\r\n[other]\r\nx = 1\r\n\r\n[環境設定]\r\nHTML自動更新 =1\r\n"
                             "アラーム：SMTPホスト=mail.example.org\r\n"
                             "全般：標準ブラウザで開く（検索結果）=0\r\n"),
                  0),
              0u)
        << "existing keys are replaced in place, new keys follow the section's last line";
    EXPECT_NE(saved.find(utf8ToSjis("フォント：固定価格（背景色）=16777215\r\n\r\n[last]\r\ny=2")),
              std::string::npos);
    EXPECT_EQ(saved.find("\n\n"), std::string::npos) << "CRLF line ends stay CRLF";
}

TEST_F(SettingsFileTest, TheProgramsOwnSectionFollowsTheOriginalOneAndLeavesItAlone)
{
    // The original section as the Windows program writes it, then a section of another's.
    std::string original = utf8ToSjis(kDefaultFileUtf8);
    original.resize(original.find(utf8ToSjis("[拡張設定]")));
    original += "[other]\r\nx=1\r\n";
    write(original);
    EnvSettings s;
    loadSettingsFrom(path, s);
    EXPECT_EQ(s, defaultSettings()) << "a file without the new section loads as before";

    s.ext.listingBase = "https://example.test:8443";
    s.ext.itemPageBase = "http://127.0.0.1:8931";
    s.ext.nearEndFaster = 1;
    s.ext.mailEncryption = 1;
    s.ext.smtpUser = "alerts@example.test";
    s.ext.smtpPassword = " pass word ";
    s.ext.pushUrl = "https://push.example.test/topic";
    s.ext.showPictures = 0;
    ASSERT_TRUE(saveSettingsTo(path, s));
    EXPECT_EQ(read(), original + utf8ToSjis("[拡張設定]\r\n"
                                            "接続：リスティングサービス=https://example.test:8443\r\n"
                                            "接続：商品ページ=http://127.0.0.1:8931\r\n"
                                            "終了間際：監視を速める=1\r\n"
                                            "終了間際：対象（分）=30\r\n"
                                            "終了間際：間隔（秒）=60\r\n"
                                            "メール：暗号化=1\r\n"
                                            "メール：SMTPユーザID=alerts@example.test\r\n"
                                            "メール：SMTPパスワード=\" pass word \"\r\n"
                                            "プッシュ：通知する=0\r\n"
                                            "プッシュ：URL=https://push.example.test/topic\r\n"
                                            "通知しない時間帯：する=0\r\n"
                                            "通知しない時間帯：開始=22:00\r\n"
                                            "通知しない時間帯：終了=07:00\r\n"
                                            "通知しない時間帯：終了間際は通知する=1\r\n"
                                            "一覧：画像を表示する=0\r\n"

                                            "履歴：保存期間（日）=365\r\n"));
    EnvSettings back;
    loadSettingsFrom(path, back);
    EXPECT_EQ(back, s);
}

TEST_F(SettingsFileTest, ValuesCannotOverflowOrAddLines)
{
    EnvSettings s = defaultSettings();
    s.mailFrom = std::string(2000, 'a');
    s.mailTo = "x@example.org\r\n[injected]\r\nkey=1";
    s.smtpHost = std::string(1022, 'h') + utf8ToSjis("株"); // a double-byte character across the limit
    ASSERT_TRUE(saveSettingsTo(path, s));

    EnvSettings back;
    loadSettingsFrom(path, back);
    EXPECT_EQ(back.mailFrom, std::string(ProfileFile::kMaxValueBytes, 'a'));
    EXPECT_EQ(back.mailTo, "x@example.org");
    EXPECT_EQ(back.smtpHost, std::string(1022, 'h')) << "never half a character";
    EXPECT_EQ(read().find("[injected]"), std::string::npos);
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsLeftAlone)
{
    write("[x]\r\ny=1\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0400), 0);
    EXPECT_FALSE(saveSettingsTo(path, defaultSettings()));
    EXPECT_EQ(read(), "[x]\r\ny=1\r\n");
}

TEST_F(SettingsFileTest, AFolderInPlaceOfTheFileGivesDefaultsAndIsNotReplaced)
{
    ASSERT_TRUE(std::filesystem::create_directory(path));
    EnvSettings s;
    loadSettingsFrom(path, s);
    EXPECT_EQ(s, defaultSettings());
    EXPECT_FALSE(saveSettingsTo(path, s));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(SettingsFileTest, ThePathFollowsTheWorkingDirectory)
{
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_EQ(settingsFilePath(), dir + "/env.ini");
    EnvSettings s = defaultSettings();
    s.alarmMail = 1;
    saveSettings(s);
    EnvSettings back;
    loadSettings(back);
    std::filesystem::current_path(before);
    EXPECT_EQ(back.alarmMail, 1);
}

TEST(ProfileFileTest, SingleWritesBehaveLikeTheProfileService)
{
    ProfileFile p = ProfileFile::parse("[A]\nk=1\n");
    p.setValue("a", "K", "2"); // names compare without ASCII case
    p.setValue("A", "new", "3");
    p.setValue("B", "z", "4");
    EXPECT_EQ(p.serialize(), "[A]\nk=2\nnew=3\n[B]\nz=4\n") << "LF files stay LF";
    EXPECT_EQ(p.value("A", "missing"), std::nullopt);
    EXPECT_EQ(p.value("missing", "k"), std::nullopt);
    EXPECT_EQ(ProfileFile::parse("[A]\n;k=1\nk='q'\nk=2").value("A", "k"), "q")
        << "comments skipped, first key wins";
}

} // namespace
} // namespace pelimo
