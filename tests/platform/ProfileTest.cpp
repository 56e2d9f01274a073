#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"

#include <cstring>

namespace {

class ProfileTest : public PrivateEnvTest {
protected:
    ProfileTest() {
        app.SetRegistryKey("Marrowfen");
        app.SetProfileName("QUORVEL PRO");
    }

    void SetRaw(const char* section, const char* name, DWORD type, const std::string& bytes) {
        CRegKey key;
        const std::string path = app.GetProfileRoot() + "\\" + section;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.Get(), name, 0, type,
                                 reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }

    CWinApp app;
};

TEST_F(ProfileTest, AnEmptyStoreGivesEveryDefault) {
    EXPECT_EQ(app.GetProfileInt("CurrentVersion\\Preferences", "MonitorWStart", 1), 1u);
    EXPECT_EQ(app.GetProfileInt("CurrentVersion\\Preferences", "URLMonitor", 0), 0u);
    EXPECT_EQ(app.GetProfileInt("CurrentVersion\\Colors", "WinDef", 1), 1u);
    EXPECT_EQ(app.GetProfileInt("CurrentVersion\\Colors", "RPanelBG", 15000804), 0xE4E4E4u);
    EXPECT_EQ(app.GetProfileString("S", "text", "fallback"), "fallback");
    EXPECT_EQ(app.GetProfileString("S", "text", nullptr), "");
    std::unique_ptr<BYTE[]> data(new BYTE[1]);
    UINT bytes = 99;
    EXPECT_FALSE(app.GetProfileBinary("S", "bin", &data, &bytes));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(bytes, 0u);
    // Reading leaves the store as it was.
    CRegKey software;
    EXPECT_EQ(software.Open(HKEY_CURRENT_USER, "Software", KEY_READ), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProfileTest, WritesCreateTheSectionBelowTheRootAndReadBack) {
    EXPECT_EQ(app.GetProfileRoot(), "Software\\Marrowfen\\QUORVEL PRO");
    EXPECT_TRUE(app.WriteProfileInt("CurrentVersion\\Preferences", "MonitorWStart", 0));
    EXPECT_TRUE(app.WriteProfileInt("CurrentVersion\\Preferences", "Negative", -5));
    EXPECT_TRUE(app.WriteProfileString("CurrentVersion\\Preferences", "Text", "caf\xc3\xa9"));
    const BYTE record[5] = {0, 1, 0xFF, 0, 7};
    EXPECT_TRUE(app.WriteProfileBinary("CurrentVersion\\Scheduler\\Queue\\3\\", "Data", record,
                                       sizeof record));

    EXPECT_EQ(app.GetProfileInt("CurrentVersion\\Preferences", "monitorwstart", 1), 0u);
    EXPECT_EQ(static_cast<int>(app.GetProfileInt("CurrentVersion\\Preferences", "Negative", 0)),
              -5);
    EXPECT_EQ(app.GetProfileString("CurrentVersion\\Preferences", "Text"), "caf\xc3\xa9");
    std::unique_ptr<BYTE[]> data;
    UINT bytes = 0;
    // The trailing backslash of an entry section does not change the key.
    ASSERT_TRUE(app.GetProfileBinary("CurrentVersion\\Scheduler\\Queue\\3", "Data", &data, &bytes));
    ASSERT_EQ(bytes, sizeof record);
    EXPECT_EQ(std::memcmp(data.get(), record, sizeof record), 0);

    // Stored as the platform stores them: a little-endian DWORD and a NUL-terminated text.
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER,
                       "Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\Preferences", KEY_READ),
              ERROR_SUCCESS);
    BYTE raw[16];
    DWORD size = sizeof raw;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key.Get(), "Negative", nullptr, &type, raw, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw), size), "\xfb\xff\xff\xff");
    size = sizeof raw;
    ASSERT_EQ(RegQueryValueExA(key.Get(), "Text", nullptr, &type, raw, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw), size), std::string("caf\xc3\xa9\0", 6));
}

TEST_F(ProfileTest, ValuesOfTheWrongTypeGiveTheDefault) {
    SetRaw("S", "int as text", REG_SZ, std::string("5\0", 2));
    SetRaw("S", "short int", REG_DWORD, "\x05");
    SetRaw("S", "long int", REG_DWORD, std::string("\x05\0\0\0\0", 5));
    SetRaw("S", "text as int", REG_DWORD, std::string("\x05\0\0\0", 4));
    SetRaw("S", "binary as text", REG_SZ, std::string("abc\0", 4));
    SetRaw("S", "quad", REG_QWORD, std::string("\x05\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(app.GetProfileInt("S", "int as text", 7), 7u);
    EXPECT_EQ(app.GetProfileInt("S", "short int", 7), 7u);
    EXPECT_EQ(app.GetProfileInt("S", "long int", 7), 7u);
    EXPECT_EQ(app.GetProfileInt("S", "quad", 7), 7u);
    EXPECT_EQ(app.GetProfileString("S", "text as int", "d"), "d");
    std::unique_ptr<BYTE[]> data;
    UINT bytes = 0;
    EXPECT_FALSE(app.GetProfileBinary("S", "binary as text", &data, &bytes));
    EXPECT_EQ(data, nullptr);
}

TEST_F(ProfileTest, TextsEndAtTheirFirstNulOrAtTheEndOfTheData) {
    SetRaw("S", "unterminated", REG_SZ, "abc");
    SetRaw("S", "embedded", REG_SZ, std::string("ab\0cd\0", 6));
    SetRaw("S", "expand", REG_EXPAND_SZ, std::string("%HOME%\0", 7));
    SetRaw("S", "empty", REG_SZ, "");
    EXPECT_EQ(app.GetProfileString("S", "unterminated"), "abc");
    EXPECT_EQ(app.GetProfileString("S", "embedded"), "ab");
    EXPECT_EQ(app.GetProfileString("S", "expand"), "%HOME%");
    EXPECT_EQ(app.GetProfileString("S", "empty", "d"), "");
}

TEST_F(ProfileTest, BinaryBuffersOfAnySizeComeBackWhole) {
    std::string big(100000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 31);
    }
    for (const std::string& bytes : {std::string(), std::string(800, '\x5a'), big}) {
        ASSERT_TRUE(app.WriteProfileBinary("B", "v", reinterpret_cast<const BYTE*>(bytes.data()),
                                           static_cast<UINT>(bytes.size())));
        std::unique_ptr<BYTE[]> data;
        UINT size = 1;
        ASSERT_TRUE(app.GetProfileBinary("B", "v", &data, &size));
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(size, bytes.size());
        EXPECT_EQ(std::memcmp(data.get(), bytes.data(), size), 0);
    }
}

TEST_F(ProfileTest, WithoutARegistryKeyNothingIsReadOrWritten) {
    CWinApp bare;
    EXPECT_EQ(bare.GetProfileRoot(), "");
    EXPECT_FALSE(bare.WriteProfileInt("S", "v", 3));
    EXPECT_EQ(bare.GetProfileInt("S", "v", 9), 9u);
    EXPECT_EQ(AfxGetApp(), &bare);
}

} // namespace
