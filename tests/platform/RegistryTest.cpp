// The registry's rules, run against our store and, built for Windows, against the system
// registry itself: the same expectations hold for both.
#include "platform/registry/Registry.h"
#include "RegistryHelpers.h"
#include "platform/Text.h"
#include "platform/registry/RegFile.h"
#include "support/PrivateEnvTest.h"

#include <algorithm>
#include <cstring>

namespace {

using RegistryTest = PrivateEnvTest;

TEST_F(RegistryTest, NamesMatchWhateverTheirCaseAndKeepTheCaseTheyWereMadeWith) {
    CRegKey made;
    DWORD disposition = 0;
    HKEY raw = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\MixedCase", KEY_ALL_ACCESS, &raw,
                              &disposition),
              ERROR_SUCCESS);
    made = CRegKey(raw);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase", KEY_ALL_ACCESS, &raw,
                              &disposition),
              ERROR_SUCCESS);
    CRegKey again(raw);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    ASSERT_EQ(SetBytes(made.Get(), "ValueName", REG_SZ, std::string("one\0", 4)), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(again.Get(), "VALUENAME", REG_SZ, std::string("two\0", 4)), ERROR_SUCCESS);
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(GetBytes(made.Get(), "valuename", &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::string("two\0", 4));
    EXPECT_EQ(ValueNames(made.Get()), std::vector<std::string>{"ValueName"});

    CRegKey software;
    ASSERT_EQ(software.Open(HKEY_CURRENT_USER, "software", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(software.Get()), std::vector<std::string>{"MixedCase"});
    EXPECT_EQ(Subkeys(HKEY_CURRENT_USER), std::vector<std::string>{"Software"});
}

TEST_F(RegistryTest, SubkeysAndValuesListInCaseInsensitiveOrder) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Order"), ERROR_SUCCESS);
    for (const char* name : {"b", "_x", "A", "c", "B2", "a1"}) {
        CRegKey sub;
        ASSERT_EQ(sub.Create(key.Get(), name), ERROR_SUCCESS);
        ASSERT_EQ(SetBytes(key.Get(), name, REG_DWORD, "1234"), ERROR_SUCCESS);
    }
    // Compared lower-cased, as the system registry under Wine lists them: '_' comes before
    // the letters.
    const std::vector<std::string> expected = {"_x", "A", "a1", "b", "B2", "c"};
    EXPECT_EQ(Subkeys(key.Get()), expected);
    EXPECT_EQ(ValueNames(key.Get()), expected);

    // A listing walked by index sees a key added in between.
    char name[128];
    ASSERT_EQ(RegEnumKeyA(key.Get(), 0, name, sizeof name), ERROR_SUCCESS);
    CRegKey added;
    ASSERT_EQ(added.Create(key.Get(), "0first"), ERROR_SUCCESS);
    ASSERT_EQ(RegEnumKeyA(key.Get(), 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "0first");
    EXPECT_EQ(RegEnumKeyA(key.Get(), 7, name, sizeof name), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, EnumerationIntoA128CharacterBufferNeverOverruns) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Long"), ERROR_SUCCESS);
    const std::string fits(127, 'a');
    const std::string tooLong(128, 'b');
    for (const auto& name : {fits, tooLong}) {
        CRegKey sub;
        ASSERT_EQ(sub.Create(key.Get(), name.c_str()), ERROR_SUCCESS);
    }
    char buffer[128 + 16];
    std::memset(buffer, 'Z', sizeof buffer);
    ASSERT_EQ(RegEnumKeyA(key.Get(), 0, buffer, 128), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer), fits);

    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(RegEnumKeyA(key.Get(), 1, buffer, 128), ERROR_MORE_DATA);
    for (std::size_t i = 128; i < sizeof buffer; ++i) {
        ASSERT_EQ(buffer[i], 'Z') << "written past the buffer at " << i;
    }
    EXPECT_EQ(RegEnumKeyA(key.Get(), 1, buffer, 129), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer), tooLong);
    // The walk goes on past a name that did not fit, and ends.
    EXPECT_EQ(RegEnumKeyA(key.Get(), 2, buffer, 128), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, EveryTypeIsStoredByteExact) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Types"), ERROR_SUCCESS);
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all += static_cast<char>(i);
    }
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"text", REG_SZ, std::string("a\0b\0", 4)},
        {"number", REG_DWORD, std::string("\x01\x00\x00\x80", 4)},
        {"short number", REG_DWORD, "\x07"},
        {"binary", REG_BINARY, all},
        {"empty", REG_BINARY, ""},
        {"quad", REG_QWORD, std::string("\xff\0\0\0\0\0\0\x01", 8)},
        {"odd type", 0x12345678, "x"},
        {"", REG_SZ, std::string("default\0", 8)},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(SetBytes(key.Get(), c.name, c.type, c.bytes), ERROR_SUCCESS) << c.name;
    }
    // A text without its terminator keeps its length. (The system registry also counts a NUL
    // that happens to follow the caller's bytes; ours never reads past them.)
    ASSERT_EQ(RegSetValueExA(key.Get(), "unterminated", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("no terminator!"), 13),
              ERROR_SUCCESS);
    RegCloseStores();
    for (const auto& c : cases) {
        DWORD type = 0;
        std::string bytes;
        ASSERT_EQ(GetBytes(key.Get(), c.name, &type, &bytes), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(bytes, c.bytes) << c.name;
    }
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(GetBytes(key.Get(), "unterminated", &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "no terminator");
    // A null name is the default value.
    ASSERT_EQ(GetBytes(key.Get(), nullptr, &type, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::string("default\0", 8));
}

TEST_F(RegistryTest, QueryIntoASmallBufferReportsMoreDataAndTheSizeNeeded) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Small"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.Get(), "v", REG_BINARY, "0123456789"), ERROR_SUCCESS);
    BYTE buffer[16];
    std::memset(buffer, 'Z', sizeof buffer);
    DWORD size = 4;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key.Get(), "v", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    for (std::size_t i = 4; i < sizeof buffer; ++i) {
        ASSERT_EQ(buffer[i], 'Z') << i;
    }
    size = 10;
    EXPECT_EQ(RegQueryValueExA(key.Get(), "v", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "0123456789");
    EXPECT_EQ(buffer[10], 'Z');

    // Value listings keep to the name buffer too.
    char name[2] = {'Z', 'Z'};
    DWORD nameLength = 1;
    EXPECT_EQ(RegEnumValueA(key.Get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(name[1], 'Z');
    EXPECT_EQ(RegQueryValueExA(key.Get(), "missing", nullptr, nullptr, buffer, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, TrailingBackslashDoesNotChangeTheKey) {
    CRegKey made;
    ASSERT_EQ(made.Create(HKEY_CURRENT_USER, "A\\B\\"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(made.Get(), "v", REG_SZ, "x"), ERROR_SUCCESS);
    for (const char* path : {"A\\B", "a\\b\\", "A\\B\\\\"}) {
        CRegKey key;
        ASSERT_EQ(key.Open(HKEY_CURRENT_USER, path, KEY_READ), ERROR_SUCCESS) << path;
        DWORD type = 0;
        std::string bytes;
        EXPECT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_SUCCESS) << path;
    }
    CRegKey a;
    ASSERT_EQ(a.Open(HKEY_CURRENT_USER, "A", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(a.Get()), std::vector<std::string>{"B"});
    // Doubled backslashes inside a path count as one, as in the system registry; a path may
    // not start with one.
    CRegKey doubled;
    ASSERT_EQ(doubled.Open(HKEY_CURRENT_USER, "A\\\\B", KEY_READ), ERROR_SUCCESS);
    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(GetBytes(doubled.Get(), "v", &type, &bytes), ERROR_SUCCESS);
    CRegKey bad;
    EXPECT_NE(bad.Create(HKEY_CURRENT_USER, "\\A"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, DeleteKeyRefusesAKeyWithSubkeysAndTakesValuesAlong) {
    CRegKey leaf;
    ASSERT_EQ(leaf.Create(HKEY_CURRENT_USER, "Del\\Parent\\Child"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(leaf.Get(), "v", REG_SZ, "x"), ERROR_SUCCESS);
    leaf.Close();
    CRegKey del;
    ASSERT_EQ(del.Open(HKEY_CURRENT_USER, "Del", KEY_WRITE), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(del.Get(), "Parent"), ERROR_SUCCESS);
    CRegKey child;
    EXPECT_EQ(child.Open(HKEY_CURRENT_USER, "Del\\Parent\\Child", KEY_READ), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyA(del.Get(), "PARENT\\child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(del.Get(), "Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(del.Get(), "Parent"), ERROR_FILE_NOT_FOUND);

    // Made again, the key does not bring back the old values.
    CRegKey again;
    ASSERT_EQ(again.Create(HKEY_CURRENT_USER, "Del\\Parent\\Child"), ERROR_SUCCESS);
    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(GetBytes(again.Get(), "v", &type, &bytes), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Del"), ERROR_SUCCESS);
    EXPECT_TRUE(Subkeys(HKEY_CURRENT_USER).empty());
}

TEST_F(RegistryTest, AHandleToADeletedKeySaysSoAndNeverReachesItsSuccessor) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.Get(), "v", REG_SZ, "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);

    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_KEY_DELETED);
    EXPECT_EQ(SetBytes(key.Get(), "v", REG_SZ, "y"), ERROR_KEY_DELETED);
    char name[128];
    EXPECT_EQ(RegEnumKeyA(key.Get(), 0, name, sizeof name), ERROR_KEY_DELETED);
    CRegKey sub;
    EXPECT_EQ(sub.Create(key.Get(), "Sub"), ERROR_KEY_DELETED);

    CRegKey successor;
    ASSERT_EQ(successor.Create(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(successor.Get(), "v", REG_SZ, "new"), ERROR_SUCCESS);
    EXPECT_EQ(GetBytes(key.Get(), "v", &type, &bytes), ERROR_KEY_DELETED);
    EXPECT_TRUE(Subkeys(successor.Get()).empty());
}

TEST_F(RegistryTest, AccessMaskIsHonoured) {
    CRegKey made;
    ASSERT_EQ(made.Create(HKEY_CURRENT_USER, "Mask"), ERROR_SUCCESS);
    CRegKey readOnly;
    ASSERT_EQ(readOnly.Open(HKEY_CURRENT_USER, "Mask", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(SetBytes(readOnly.Get(), "v", REG_SZ, "x"), ERROR_ACCESS_DENIED);
#ifdef _WIN32
    // The system's own words for it ("Access is denied"), not a stock phrase.
    EXPECT_NE(RegLastFailure(HKEY_CURRENT_USER).find("ccess"), std::string::npos)
        << RegLastFailure(HKEY_CURRENT_USER);
#endif
    CRegKey writeOnly;
    ASSERT_EQ(writeOnly.Open(HKEY_CURRENT_USER, "Mask", KEY_WRITE), ERROR_SUCCESS);
    char name[128];
    EXPECT_EQ(RegEnumKeyA(writeOnly.Get(), 0, name, sizeof name), ERROR_ACCESS_DENIED);
}

// Names and texts of every script, the longest key name the registry takes (in UTF-16 units,
// 510 bytes here), and bytes that are not UTF-8: each goes in, matches in any case, and comes
// back unchanged, also through a registry file.
TEST_F(RegistryTest, TextOfEveryScriptGoesInAndOutUnchangedAndMatchesInAnyCase) {
    std::string longest;
    for (int i = 0; i < 255; ++i) {
        longest += "\xC3\xA9";
    }
    const std::vector<std::string> names = {"ASCII",
                                            "Gr\xC3\xBC\xC3\x9F"
                                            "e caf\xC3\xA9",
                                            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                            "\xE6\x97\xA5\xE6\x9C\xAC",
                                            "emoji \xF0\x9F\x98\x80",
                                            longest,
                                            "bytes \xF6\xFF"};
    const auto check = [&names] {
        for (const auto& name : names) {
            // Upper-cased by the registry's own rule: Wine's registry answers these alike.
            const std::string upper = text::FoldName(name);
            CRegKey key;
            ASSERT_EQ(key.Open(HKEY_CURRENT_USER, ("Unicode\\" + upper).c_str(), KEY_READ),
                      ERROR_SUCCESS)
                << name;
            DWORD type = 0;
            std::string bytes;
            ASSERT_EQ(GetBytes(key.Get(), upper.c_str(), &type, &bytes), ERROR_SUCCESS) << name;
            EXPECT_EQ(bytes, name + '\0');
            EXPECT_EQ(ValueNames(key.Get()), std::vector<std::string>{name});
        }
        CRegKey all;
        ASSERT_EQ(all.Open(HKEY_CURRENT_USER, "Unicode", KEY_READ), ERROR_SUCCESS);
        auto listed = Subkeys(all.Get());
        std::sort(listed.begin(), listed.end());
        auto expected = names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected);
    };
    for (const auto& name : names) {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, ("Unicode\\" + name).c_str()), ERROR_SUCCESS)
            << name;
        ASSERT_EQ(SetBytes(key.Get(), name.c_str(), REG_SZ, name + '\0'), ERROR_SUCCESS);
    }
    check();
    CRegKey other;
    EXPECT_NE(other.Open(HKEY_CURRENT_USER,
                         "Unicode\\Gr\xC3\xBC\xC3\x9F"
                         "e cafe",
                         KEY_READ),
              ERROR_SUCCESS);

    std::string file;
    std::string why;
    ASSERT_EQ(registry::ExportRegFile(registry::Root::CurrentUser, {"Unicode"},
                                      registry::RegFileFormat::Utf16, &file, &why),
              registry::Status::Ok)
        << why;
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Unicode"), ERROR_SUCCESS);
    registry::RegFileBytes source(file);
    registry::RegFileError error;
    ASSERT_TRUE(registry::ImportRegFile(source, &error)) << error.Text();
    check();
    std::string again;
    registry::ExportRegFile(registry::Root::CurrentUser, {"Unicode"},
                            registry::RegFileFormat::Utf16, &again, &why);
    EXPECT_EQ(again, file);
}

} // namespace
