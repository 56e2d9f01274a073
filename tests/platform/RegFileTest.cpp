#include "platform/registry/RegFile.h"
#include "platform/Digest.h"
#include "platform/Text.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"

#include <algorithm>
#include <pthread.h>

namespace {

using registry::ParseRegFile;
using registry::RegFileError;
using registry::RegFileFormat;
using registry::RegFileKey;
using registry::Root;

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::vector<BYTE> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

const char* const kSample = "Windows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "; a comment\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Marrowfen\\QUORVEL PRO\\Prefs\\]\r\n"
                            "\"Text\"=\"C:\\\\Apps\\\\\\\"q\\\"\"\r\n"
                            "@=\"default\"\r\n"
                            "\"Number\"=dword:0000002A\r\n"
                            "\"Bin\"=hex:01,ff,\\\r\n"
                            "  00\r\n"
                            "\"Multi\" = hex(7):41,00,00,00\r\n"
                            "\"Empty\"=hex:\r\n"
                            "\"Gone\"=-\r\n"
                            "\r\n"
                            "[-HKLM\\Software\\Old]\r\n";

void ExpectSample(const std::vector<RegFileKey>& keys, bool regedit4 = false) {
    ASSERT_EQ(keys.size(), 2u);
    const auto& prefs = keys[0];
    EXPECT_EQ(prefs.root, Root::CurrentUser);
    EXPECT_EQ(prefs.path,
              (std::vector<std::string>{"Software", "Marrowfen", "QUORVEL PRO", "Prefs"}));
    EXPECT_FALSE(prefs.remove);
    EXPECT_EQ(prefs.line, 4);
    ASSERT_EQ(prefs.values.size(), 7u);
    EXPECT_EQ(prefs.values[0].name, "Text");
    EXPECT_EQ(prefs.values[0].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(prefs.values[0].data, Bytes(std::string("C:\\Apps\\\"q\"\0", 12)));
    EXPECT_EQ(prefs.values[1].name, "");
    EXPECT_EQ(prefs.values[2].type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(prefs.values[2].data, Bytes(std::string("\x2a\0\0\0", 4)));
    EXPECT_EQ(prefs.values[3].type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(prefs.values[3].data, Bytes(std::string("\x01\xff\0", 3)));
    EXPECT_EQ(prefs.values[4].type, static_cast<DWORD>(REG_MULTI_SZ));
    // Text types in hex are UTF-16 in a 5.00 file (ANSI in REGEDIT4); the registry's A calls
    // see them in ANSI.
    EXPECT_EQ(prefs.values[4].data,
              regedit4 ? Bytes(std::string("A\0\0\0", 4)) : Bytes(std::string("A\0", 2)));
    EXPECT_TRUE(prefs.values[5].data.empty());
    EXPECT_TRUE(prefs.values[6].remove);
    EXPECT_EQ(prefs.values[6].line, 12);
    EXPECT_EQ(keys[1].root, Root::LocalMachine);
    EXPECT_TRUE(keys[1].remove);
    EXPECT_EQ(keys[1].line, 14);
}

TEST(RegFileParseTest, ReadsEveryFormOfLineInEveryEncoding) {
    std::vector<RegFileKey> keys;
    RegFileError error;
    ASSERT_TRUE(ParseRegFile(kSample, &keys, &error)) << error.Text();
    ExpectSample(keys);

    ASSERT_TRUE(ParseRegFile(Utf16(kSample), &keys, &error)) << error.Text();
    ExpectSample(keys);

    ASSERT_TRUE(ParseRegFile("\xEF\xBB\xBF" + std::string(kSample), &keys, &error));
    ExpectSample(keys);

    std::string four = kSample;
    four.replace(0, four.find('\r'), "REGEDIT4");
    ASSERT_TRUE(ParseRegFile(four, &keys, &error)) << error.Text();
    ExpectSample(keys, true);

    // Texts outside ASCII arrive as UTF-8 whichever encoding the file used.
    const std::string utf16Text =
        std::string("\xFF\xFE", 2) + Utf16("REGEDIT4\n[HKCU\\k]\n\"v\"=\"").substr(2) +
        std::string("\xE9\x00\x3D\xD8\x00\xDE", 6) + Utf16("\"\n").substr(2);
    ASSERT_TRUE(ParseRegFile(utf16Text, &keys, &error)) << error.Text();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].values[0].data, Bytes(std::string("\xC3\xA9\xF0\x9F\x98\x80\0", 7)));
}

TEST(RegFileParseTest, AMalformedFileIsRefusedWithTheLineOfItsProblem) {
    struct Case {
        std::string text;
        int line;
    };
    const std::string head = "REGEDIT4\n[HKCU\\k]\n";
    const std::vector<Case> cases = {
        {"", 1},
        {"Windows Registry Editor Version 4.00\n", 1},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2},
        {"REGEDIT4\n\n[HKEY_CLASSES_ROOT\\x]\n", 3},
        {"REGEDIT4\n[HKCU\\a\\\\b]\n", 2},
        {"REGEDIT4\n[-HKCU]\n", 2},
        {"REGEDIT4\n[HKCU\\a\n", 2},
        {"REGEDIT4\n[" + std::string("HKCU\\") + std::string(256, 'k') + "]\n", 2},
        {head + "\"a\"=\"unterminated\n", 3},
        {head + "\"a\"=\"C:\\Apps\"\n", 3},
        {head + "\"a\"=\"b\" trailing\n", 3},
        {head + "\"a\"=dword:123456789\n", 3},
        {head + "\"a\"=dword:\n", 3},
        {head + "\"a\"=dword:xyz\n", 3},
        {head + "\"a\"=hex:1,02\n", 3},
        {head + "\"a\"=hex:01 02\n", 3},
        {head + "\"a\"=hex(zz):01\n", 3},
        {head + "\"a\"=something\n", 3},
        {head + "a=\"b\"\n", 3},
        {head + "\"a\"\"b\"\n", 3},
        {head + "\"" + std::string(16384, 'n') + "\"=\"b\"\n", 3},
        {"REGEDIT4\n\n[HKCU" + Repeat("\\k", 513) + "]\n", 3},
        {head + "\"ok\"=dword:1\n\"a\"=hex:01,\\", 4},
        {"REGEDIT4\n[-HKCU\\k]\n\"a\"=\"b\"\n", 3},
        {std::string("\xFE\xFF\0R", 4), 1},
    };
    for (const auto& c : cases) {
        std::vector<RegFileKey> keys;
        RegFileError error;
        EXPECT_FALSE(ParseRegFile(c.text, &keys, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.Text();
        EXPECT_FALSE(error.message.empty()) << c.text;
    }
    std::vector<RegFileKey> keys;
    RegFileError error;
    EXPECT_FALSE(ParseRegFile(Utf16("REGEDIT4\n") + "x", &keys, &error)); // odd byte count
}

class RegFileStoreTest : public PrivateEnvTest {
protected:
    static void Set(HKEY root, const char* path, const char* name, DWORD type,
                    const std::string& bytes) {
        CRegKey key;
        ASSERT_EQ(key.Create(root, path), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.Get(), name, 0, type,
                                 reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    static bool Get(HKEY root, const char* path, const char* name, DWORD* type,
                    std::string* bytes) {
        CRegKey key;
        if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) {
            return false;
        }
        BYTE buffer[4096];
        DWORD size = sizeof buffer;
        if (RegQueryValueExA(key.Get(), name, nullptr, type, buffer, &size) != ERROR_SUCCESS) {
            return false;
        }
        bytes->assign(reinterpret_cast<char*>(buffer), size);
        return true;
    }
    static bool Import(const std::string& text, RegFileError* error) {
        registry::RegFileBytes source(text);
        return registry::ImportRegFile(source, error);
    }
    static std::string Export(const char* name, RegFileFormat format) {
        Root root;
        std::vector<std::string> path;
        std::string why;
        EXPECT_TRUE(registry::ParseKeyName(name, &root, &path, &why)) << why;
        std::string out;
        EXPECT_EQ(registry::ExportRegFile(root, path, format, &out, &why), registry::Status::Ok)
            << why;
        return out;
    }
};

struct Stored {
    const char* path;
    const char* name;
    DWORD type;
    std::string bytes;
};

const std::vector<Stored>& Awkward() {
    static const std::vector<Stored> values = [] {
        std::string binary;
        for (int i = 0; i < 300; ++i) {
            binary += static_cast<char>(i);
        }
        return std::vector<Stored>{
            {"T\\Plain", "text", REG_SZ, std::string("caf\xc3\xa9 \"q\" C:\\x\\\0", 16)},
            {"T\\Plain", "", REG_SZ, std::string("the default\0", 12)},
            {"T\\Plain", "no terminator", REG_SZ, "abc"},
            {"T\\Plain", "two nuls", REG_SZ, std::string("a\0b\0", 4)},
            {"T\\Plain", "line\\break \"name\"", REG_SZ, std::string("x\r\ny\0", 5)},
            {"T\\Plain", "latin1", REG_SZ, std::string("\xe9t\xe9\x80\0", 5)},
            {"T\\Plain", "expand", REG_EXPAND_SZ, std::string("%T%\xe9\0", 5)},
            {"T\\Numbers", "dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
            {"T\\Numbers", "short dword", REG_DWORD, "\x01\x02\x03"},
            {"T\\Numbers", "qword", REG_QWORD, std::string("\1\0\0\0\0\0\0\x80", 8)},
            {"T\\Bytes\\Deeper ] [Key]", "binary", REG_BINARY, binary},
            {"T\\Bytes\\Deeper ] [Key]", "empty", REG_BINARY, ""},
            {"T\\Bytes\\Deeper ] [Key]", "odd type", 0x12345678, "z"},
            {"T\\Bytes\\Deeper ] [Key]", "none", REG_NONE, ""},
        };
    }();
    return values;
}

TEST_F(RegFileStoreTest, ExportReadsBackByteExactInEveryFormat) {
    for (const auto& v : Awkward()) {
        Set(HKEY_CURRENT_USER, v.path, v.name, v.type, v.bytes);
    }
    CRegKey emptyKey;
    ASSERT_EQ(emptyKey.Create(HKEY_CURRENT_USER, "T\\Empty Key"), ERROR_SUCCESS);
    // Files far larger than one piece read: a line longer than one, lines across their ends.
    Set(HKEY_CURRENT_USER, "T\\Large", "line", REG_SZ, std::string(100000, 'x') + '\0');
    Set(HKEY_CURRENT_USER, "T\\Large", "lines", REG_BINARY, std::string(100000, '\x5a'));
    for (const auto format : {RegFileFormat::Utf16, RegFileFormat::Utf8, RegFileFormat::Regedit4}) {
        const std::string first = Export("HKCU\\t", format);
        ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "T"), ERROR_SUCCESS);
        RegFileError error;
        ASSERT_TRUE(Import(first, &error)) << error.Text() << "\n" << first;
        for (const auto& v : Awkward()) {
            DWORD type = 0;
            std::string bytes;
            ASSERT_TRUE(Get(HKEY_CURRENT_USER, v.path, v.name, &type, &bytes)) << v.name;
            EXPECT_EQ(type, v.type) << v.name;
            EXPECT_EQ(bytes, v.bytes) << v.name;
        }
        CRegKey stillThere;
        EXPECT_EQ(stillThere.Open(HKEY_CURRENT_USER, "T\\Empty Key", KEY_READ), ERROR_SUCCESS);
        EXPECT_EQ(Export("HKCU\\t", format), first);
    }
    // The export names keys as stored, whatever case was asked for.
    EXPECT_NE(Export("HKCU\\t", RegFileFormat::Utf8).find("[HKEY_CURRENT_USER\\T]\r\n"),
              std::string::npos);
    // Texts the editor can show are written as texts, numbers as dwords.
    const std::string utf8 = Export("HKEY_CURRENT_USER\\T\\Numbers\\", RegFileFormat::Utf8);
    EXPECT_NE(utf8.find("\"dword\"=dword:12345678\r\n"), std::string::npos) << utf8;
    // Text that is not UTF-8 keeps its bytes in the typed hex form; in a 5.00 file each such
    // byte is the UTF-16 unit 0xDC00 + byte.
    const std::string plain = Export("HKCU\\T\\Plain", RegFileFormat::Utf8);
    EXPECT_NE(plain.find("\"latin1\"=hex(1):e9,dc,74,00,e9,dc,80,dc,00,00\r\n"), std::string::npos)
        << plain;
    EXPECT_NE(plain.find("\"expand\"=hex(2):25,00,54,00,25,00,e9,dc,00,00\r\n"), std::string::npos)
        << plain;
    EXPECT_NE(
        Export("HKCU\\T\\Plain", RegFileFormat::Regedit4).find("\"latin1\"=hex(1):e9,74,e9,80,00"),
        std::string::npos);
    EXPECT_NE(Export("HKCU\\T\\Plain", RegFileFormat::Utf8).find("@=\"the default\"\r\n"),
              std::string::npos);
}

TEST_F(RegFileStoreTest, NamesThatAreNotUtf8GoOnlyIntoAUtf16File) {
    Set(HKEY_CURRENT_USER, "N\\bad \xff name", "v \xfe", REG_SZ, std::string("x\0", 2));
    Root root;
    std::vector<std::string> path;
    std::string why;
    ASSERT_TRUE(registry::ParseKeyName("HKCU\\N", &root, &path, &why));
    std::string out;
    // An 8-bit file with them would be read back in a code page.
    for (const auto format : {RegFileFormat::Utf8, RegFileFormat::Regedit4}) {
        EXPECT_EQ(registry::ExportRegFile(root, path, format, &out, &why),
                  registry::Status::Unavailable);
        EXPECT_FALSE(why.empty());
    }
    const std::string utf16 = Export("HKCU\\N", RegFileFormat::Utf16);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "N"), ERROR_SUCCESS);
    RegFileError error;
    ASSERT_TRUE(Import(utf16, &error)) << error.Text();
    DWORD type = 0;
    std::string bytes;
    EXPECT_TRUE(Get(HKEY_CURRENT_USER, "N\\bad \xff name", "v \xfe", &type, &bytes));

    // An 8-bit file that is not UTF-8 comes from Windows, in its ANSI code page.
    std::vector<RegFileKey> keys;
    ASSERT_TRUE(
        ParseRegFile("REGEDIT4\n[HKCU\\\xcf\xf0]\n\"v\"=hex(2):e9,00\n", &keys, &error, 1251));
    EXPECT_EQ(keys[0].path[0], "\xD0\x9F\xD1\x80");
    EXPECT_EQ(keys[0].values[0].data, Bytes(std::string("\xD0\xB9\0", 3)));
    ASSERT_TRUE(ParseRegFile("REGEDIT4\n[HKCU\\k]\n\"v\"=\"\xe9\"\n", &keys, &error));
    EXPECT_EQ(keys[0].values[0].data, Bytes(std::string("\xC3\xA9\0", 3)));

    EXPECT_EQ(registry::ExportRegFile(root, {"missing"}, RegFileFormat::Utf8, &out, &why),
              registry::Status::NotFound);

    // Handed over a key at a time, after the header; a piece refused ends the export there.
    Set(HKEY_CURRENT_USER, "N\bad \xff name\below", "v", REG_SZ, std::string("y\0", 2));
    struct Pieces final : registry::RegFileSink {
        std::vector<std::string> got;
        bool Write(const std::string& bytes) override {
            got.push_back(bytes);
            return got.size() < 3;
        }
    } pieces;
    why.clear();
    EXPECT_EQ(registry::ExportRegFile(root, path, RegFileFormat::Utf16, pieces, &why),
              registry::Status::Unavailable);
    EXPECT_TRUE(why.empty()) << why;
    ASSERT_EQ(pieces.got.size(), 3u);
    EXPECT_EQ(pieces.got[1].rfind(std::string("[\0", 2), 0), 0u);
    EXPECT_EQ(pieces.got[2].rfind(std::string("[\0", 2), 0), 0u);
}

TEST_F(RegFileStoreTest, DeletionsApplyAndMissingTargetsAreNoError) {
    Set(HKEY_CURRENT_USER, "D\\Tree\\Below", "v", REG_SZ, "x");
    Set(HKEY_CURRENT_USER, "D", "drop", REG_SZ, "x");
    Set(HKEY_CURRENT_USER, "D", "keep", REG_SZ, "x");
    RegFileError error;
    ASSERT_TRUE(Import("REGEDIT4\n[-HKCU\\D\\Tree]\n[-HKCU\\D\\Never]\n[HKCU\\D]\n\"drop\"=-\n"
                       "\"never\"=-\n",
                       &error))
        << error.Text();
    CRegKey tree;
    EXPECT_EQ(tree.Open(HKEY_CURRENT_USER, "D\\Tree", KEY_READ), ERROR_FILE_NOT_FOUND);
    DWORD type = 0;
    std::string bytes;
    EXPECT_FALSE(Get(HKEY_CURRENT_USER, "D", "drop", &type, &bytes));
    EXPECT_TRUE(Get(HKEY_CURRENT_USER, "D", "keep", &type, &bytes));
}

TEST_F(RegFileStoreTest, AnImportThatCannotFinishLeavesEveryRootAsItWas) {
    Set(HKEY_CURRENT_USER, "Before", "v", REG_SZ, "old");
    // Refused at its last line: neither root keeps anything of it.
    RegFileError error;
    EXPECT_FALSE(Import("REGEDIT4\n[HKCU\\Before]\n\"v\"=\"new\"\n[HKLM\\Software]\n"
                        "\"Path\"=\"/opt\"\n\"bad\"=dword:x\n",
                        &error));
    EXPECT_EQ(error.line, 6);
    CRegKey software;
    EXPECT_EQ(software.Open(HKEY_LOCAL_MACHINE, "Software", KEY_READ), ERROR_FILE_NOT_FOUND);
    // The machine file cannot be made: its folder is a plain file.
    const std::string blocker = m_env.WriteFile("blocker", "");
    setenv("QUORVEL_REGISTRY_MACHINE", (blocker + "/machine.db").c_str(), 1);
    RegCloseStores();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Import("REGEDIT4\n[HKCU\\Before]\n\"v\"=\"new\"\n[HKCU\\Added]\n"
                        "[HKLM\\Software]\n\"Path\"=\"/opt\"\n",
                        &error));
    testing::internal::GetCapturedStderr();
    EXPECT_NE(error.Text().find("HKEY_LOCAL_MACHINE"), std::string::npos) << error.Text();
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(Get(HKEY_CURRENT_USER, "Before", "v", &type, &bytes));
    EXPECT_EQ(bytes, "old");
    CRegKey added;
    EXPECT_EQ(added.Open(HKEY_CURRENT_USER, "Added", KEY_READ), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegFileStoreTest, TreesUpToTheLimitsGoInAndTreesOfAnyDepthComeOut) {
    RegFileError error;
    // Up to the limits: 512 levels, names of 255 and 16,383 characters.
    ASSERT_TRUE(Import("REGEDIT4\n[HKCU\\L" + Repeat("\\k", 510) + "\\" + std::string(255, 'K') +
                           "]\n\"" + std::string(16383, 'n') + "\"=dword:1\n",
                       &error))
        << error.Text();
    EXPECT_NE(Export("HKCU\\L", RegFileFormat::Utf8).find(std::string(16383, 'n')),
              std::string::npos);

    // Deeper than a file may bring, as other programs may make it; written out on a stack far
    // too small for one frame per level.
    CRegKey deep;
    ASSERT_EQ(deep.Create(HKEY_CURRENT_USER, ("Deep" + Repeat("\\k", 2000)).c_str()),
              ERROR_SUCCESS);
    struct Job {
        std::string out;
        std::string why;
        registry::Status status = registry::Status::Unavailable;
    } job;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr,
                  [](void* arg) -> void* {
                      auto* j = static_cast<Job*>(arg);
                      j->status = registry::ExportRegFile(Root::CurrentUser, {"Deep"},
                                                          RegFileFormat::Utf8, &j->out, &j->why);
                      return nullptr;
                  },
                  &job),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(job.status, registry::Status::Ok) << job.why;
    EXPECT_EQ(std::count(job.out.begin(), job.out.end(), '['), 2001);
    EXPECT_NE(job.out.find("[HKEY_CURRENT_USER\\Deep" + Repeat("\\k", 2000) + "]"),
              std::string::npos);
}

TEST(RegFileKeyNameTest, AcceptsBothSpellingsOfEachRoot) {
    Root root;
    std::vector<std::string> path;
    std::string why;
    ASSERT_TRUE(registry::ParseKeyName("hkey_local_machine\\A\\B\\", &root, &path, &why));
    EXPECT_EQ(root, Root::LocalMachine);
    EXPECT_EQ(path, (std::vector<std::string>{"A", "B"}));
    ASSERT_TRUE(registry::ParseKeyName("HKCU", &root, &path, &why));
    EXPECT_EQ(root, Root::CurrentUser);
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(registry::ParseKeyName("HKCR\\x", &root, &path, &why));
    EXPECT_NE(why.find("HKCR"), std::string::npos);
    EXPECT_FALSE(registry::ParseKeyName("HKCU\\\\x", &root, &path, &why));
}

} // namespace

namespace {

TEST(TextTest, ConversionsGiveBackEveryInputAndNamesFoldLikeTheRegistry) {
    // Well-formed text, bytes that are not UTF-8, and surrogates spelled out in three bytes.
    for (const std::string utf8 :
         {"plain", "j\xC3\xB6rg \xD0\x9F\xD1\x80\xD0\xB8 \xE6\x97\xA5\xF0\x9F\x98\x80", "\xF6\xFF",
          "\xC3", "\xED\xA0\x80", "\xED\xA0\x80\x80", "\xED\xA0\x80\xED\xB0\x80", "\xED\xB2\x80"}) {
        EXPECT_EQ(text::Utf16ToUtf8(text::Utf8ToUtf16(utf8)), utf8);
    }
    EXPECT_EQ(text::Utf8ToUtf16("j\xC3\xB6\xF0\x9F\x98\x80\xF6"), u"j\u00F6\U0001F600\xDCF6");
    for (const std::u16string utf16 : {u"\xD800x", u"\xDFFF", u"\xD800\xD800"}) {
        EXPECT_EQ(text::Utf8ToUtf16(text::Utf16ToUtf8(utf16)), utf16);
    }
    EXPECT_FALSE(text::IsUtf8("\xED\xA0\x80"));
    EXPECT_EQ(text::Utf16Length("\xF0\x9F\x98\x80\xC3\xA9"), 3u);
    // A fixed field: whole when it fits, else cut before a surrogate pair it would split.
    EXPECT_EQ(text::ClipToUtf16("ab\xF0\x9F\x98\x80", 4), "ab\xF0\x9F\x98\x80");
    EXPECT_EQ(text::ClipToUtf16("ab\xF0\x9F\x98\x80"
                                "c",
                                4),
              "ab\u2026");
    EXPECT_EQ(text::ClipToUtf16("abc\xF0\x9F\x98\x80", 4), "abc\u2026");

    EXPECT_TRUE(text::SameName("Schl\xC3\xBCssel \xC3\x84", "SCHL\xC3\x9CSSEL \xC3\xA4"));
    EXPECT_TRUE(text::SameName("\xD0\xBF\xD1\x80\xD0\xB8", "\xD0\x9F\xD0\xA0\xD0\x98"));
    EXPECT_FALSE(text::SameName("Caf\xC3\xA9", "Cafe"));
    EXPECT_EQ(text::FoldName("a\xF6\xF0\x9F\x98\x80"), "A\xF6\xF0\x9F\x98\x80");

    EXPECT_EQ(text::CodePageToUtf8("\x80\xE9", 1252), "\xE2\x82\xAC\xC3\xA9");
    EXPECT_EQ(text::CodePageToUtf8("\xEF\xF0\xE8", 1251), "\xD0\xBF\xD1\x80\xD0\xB8");
    EXPECT_EQ(text::CodePageToUtf8("\xAF\xE0\xA8", 866), "\xD0\xBF\xD1\x80\xD0\xB8");
}

TEST(DigestTest, GivesThePublishedSha256OfEachLengthCase) {
    // FIPS 180 examples: a tail of one block, of two (56 bytes), and none (64 x 15,625 bytes).
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
    for (const auto& [data, expected] : cases) {
        std::string hex;
        for (const std::uint8_t byte : Sha256(data)) {
            hex += "0123456789abcdef"[byte >> 4];
            hex += "0123456789abcdef"[byte & 15];
        }
        EXPECT_EQ(hex, expected) << data.size() << " bytes";
    }
}

} // namespace
