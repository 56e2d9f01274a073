#include "platform/registry/RegFile.h"

#include "platform/Text.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace registry {

namespace {

constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";

bool Fail(RegFileError* error, int line, const std::string& message) {
    error->line = line;
    error->message = message;
    return false;
}

// Types whose data is text: a registry editor writes their hex(N) data in UTF-16 in a 5.00 file.
bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           UpperAscii(text.substr(0, prefix.size())) == UpperAscii(prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A number of 1 to 8 hex digits, the whole of `text`.
bool ParseHexNumber(const std::string& text, DWORD* out) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    DWORD value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    *out = value;
    return true;
}

// A quoted string starting at text[*pos] == '"', with \\ and \" escapes. Leaves *pos after the
// closing quote.
bool ParseQuoted(const std::string& text, std::size_t* pos, std::string* out, std::string* why) {
    out->clear();
    std::size_t i = *pos + 1;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
                *out += text[i + 1];
                i += 2;
                continue;
            }
            *why = "a backslash in a quoted text must be written \\\\ (or \\\" for a quote)";
            return false;
        }
        *out += c;
        ++i;
    }
    *why = "the closing quote is missing";
    return false;
}

bool ParseHexBytes(const std::string& text, std::vector<BYTE>* out, std::string* why) {
    out->clear();
    std::size_t i = 0;
    const auto skipSpace = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
    };
    skipSpace();
    if (i == text.size()) {
        return true;
    }
    while (true) {
        skipSpace();
        if (i + 2 > text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) {
            *why = "hex data must be pairs of hex digits separated by commas";
            return false;
        }
        out->push_back(static_cast<BYTE>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
        i += 2;
        skipSpace();
        if (i == text.size()) {
            return true;
        }
        if (text[i] != ',') {
            *why = "hex data must be pairs of hex digits separated by commas";
            return false;
        }
        ++i;
        skipSpace();
        if (i == text.size()) {
            return true; // a trailing comma, as left before a continuation
        }
    }
}

bool SplitKeyPath(const std::string& rest, std::vector<std::string>* path, std::string* error) {
    path->clear();
    std::string trimmed = rest;
    while (!trimmed.empty() && trimmed.back() == '\\') {
        trimmed.pop_back();
    }
    std::size_t start = 0;
    while (start <= trimmed.size() && !trimmed.empty()) {
        const auto slash = trimmed.find('\\', start);
        const std::string part =
            trimmed.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty()) {
            *error = "the key name has an empty part (two backslashes in a row)";
            return false;
        }
        if (text::Utf16Length(part) > kMaxRegNameLength) {
            *error = "a key name part is longer than " + std::to_string(kMaxRegNameLength) +
                     " characters";
            return false;
        }
        if (path->size() == kMaxRegKeyDepth) {
            *error = "the key lies more than " + std::to_string(kMaxRegKeyDepth) +
                     " levels below its root";
            return false;
        }
        path->push_back(part);
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    return true;
}

// How a file's hex(N) text data is written: UTF-16LE in a version 5.00 file, else 8-bit bytes
// (UTF-8, or the code page an ANSI file was read in).
struct HexText {
    bool utf16 = false;
    int codePage = 0; // 0: the bytes as they are
};

// One value line ("name"=data or @=data), continuation already joined.
bool ParseValue(const std::string& text, HexText hexText, RegFileValue* value, std::string* why) {
    std::size_t pos = 0;
    if (text[0] == '@') {
        value->name.clear();
        pos = 1;
    } else if (text[0] == '"') {
        if (!ParseQuoted(text, &pos, &value->name, why)) {
            return false;
        }
        if (text::Utf16Length(value->name) > kMaxRegValueNameLength) {
            *why = "the value name is longer than " + std::to_string(kMaxRegValueNameLength) +
                   " characters";
            return false;
        }
    } else {
        *why = "expected a [key], a \"name\"=value or @=value line";
        return false;
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    if (pos >= text.size() || text[pos] != '=') {
        *why = "expected = after the value name";
        return false;
    }
    const std::string data = Trim(text.substr(pos + 1));
    if (data == "-") {
        value->remove = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        std::size_t end = 0;
        std::string content;
        if (!ParseQuoted(data, &end, &content, why)) {
            return false;
        }
        if (end != data.size()) {
            *why = "unexpected text after the closing quote";
            return false;
        }
        value->type = REG_SZ;
        value->data.assign(content.begin(), content.end());
        value->data.push_back(0);
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        DWORD number = 0;
        if (!ParseHexNumber(data.substr(6), &number)) {
            *why = "dword: needs 1 to 8 hex digits";
            return false;
        }
        value->type = REG_DWORD;
        value->data = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                       static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
        return true;
    }
    std::string bytes;
    if (StartsWithNoCase(data, "hex:")) {
        value->type = REG_BINARY;
        bytes = data.substr(4);
    } else if (StartsWithNoCase(data, "hex(")) {
        const auto close = data.find("):");
        if (close == std::string::npos ||
            !ParseHexNumber(data.substr(4, close - 4), &value->type)) {
            *why = "hex(N): needs a type number of 1 to 8 hex digits";
            return false;
        }
        bytes = data.substr(close + 2);
    } else {
        *why = "unknown value data (expected \"text\", dword:, hex:, hex(N): or -)";
        return false;
    }
    if (!ParseHexBytes(bytes, &value->data, why)) {
        return false;
    }
    if (IsTextType(value->type) && hexText.utf16) {
        if (value->data.size() % 2 != 0) {
            *why = "hex(" + std::to_string(value->type) +
                   "): text data in UTF-16 must have an even number of bytes";
            return false;
        }
        const std::string utf8 = text::Utf16LeToUtf8(std::string_view(
            reinterpret_cast<const char*>(value->data.data()), value->data.size()));
        value->data.assign(utf8.begin(), utf8.end());
    } else if (IsTextType(value->type) && hexText.codePage != 0) {
        const std::string utf8 = text::CodePageToUtf8(
            std::string_view(reinterpret_cast<const char*>(value->data.data()), value->data.size()),
            hexText.codePage);
        value->data.assign(utf8.begin(), utf8.end());
    }
    return true;
}

} // namespace

std::string RegFileError::Text() const {
    return line > 0 ? "line " + std::to_string(line) + ": " + message : message;
}

std::string RootName(Root root) {
    return root == Root::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

bool ParseKeyName(const std::string& name, Root* root, std::vector<std::string>* path,
                  std::string* error) {
    const auto slash = name.find('\\');
    const std::string head = UpperAscii(name.substr(0, slash));
    if (head == "HKEY_CURRENT_USER" || head == "HKCU") {
        *root = Root::CurrentUser;
    } else if (head == "HKEY_LOCAL_MACHINE" || head == "HKLM") {
        *root = Root::LocalMachine;
    } else {
        *error = "unknown root '" + name.substr(0, slash) +
                 "' (use HKEY_CURRENT_USER, HKCU, HKEY_LOCAL_MACHINE or HKLM)";
        return false;
    }
    return SplitKeyPath(slash == std::string::npos ? std::string() : name.substr(slash + 1), path,
                        error);
}

bool RegFileBytes::Read(char* buffer, std::size_t size, std::size_t* got) {
    *got = m_bytes.copy(buffer, size, m_next);
    m_next += *got;
    return true;
}

bool RegFileBytes::Rewind() {
    m_next = 0;
    return true;
}

namespace {

constexpr const char* kUnreadable = "the file could not be read";

// A file's lines, their bytes as they are (line feeds taken off), read in pieces. A UTF-16 file
// is split at its line-feed units: no line end ever falls inside a character in any encoding a
// file may have, so each line converts on its own exactly as the whole file would.
class LineReader {
public:
    LineReader(RegFileSource& source, std::size_t unit, std::size_t skip)
        : m_source(source), m_unit(unit), m_skip(skip) {}

    // False after the last line (a file ending in a line feed ends with an empty one) or when
    // the file cannot be read.
    bool Next(std::string* line) {
        while (true) {
            if (const auto end = FindLineFeed(); end != std::string::npos) {
                line->assign(m_pending, m_start, end - m_start);
                m_start = end + m_unit;
                m_scan = m_start;
                return true;
            }
            if (m_atEnd || !Fill()) {
                if (m_failed || m_done) {
                    return false;
                }
                m_done = true;
                line->assign(m_pending, m_start);
                return true;
            }
        }
    }
    bool Failed() const { return m_failed; }
    std::uint64_t Size() const { return m_size; }

private:
    std::size_t FindLineFeed() {
        if (m_unit == 1) {
            const auto end = m_pending.find('\n', m_scan);
            m_scan = end == std::string::npos ? m_pending.size() : end;
            return end;
        }
        for (; m_scan + 2 <= m_pending.size(); m_scan += 2) {
            if (m_pending[m_scan] == '\n' && m_pending[m_scan + 1] == '\0') {
                return m_scan;
            }
        }
        return std::string::npos;
    }
    bool Fill() {
        m_pending.erase(0, m_start);
        m_scan -= m_start;
        m_start = 0;
        char chunk[1 << 16];
        std::size_t got = 0;
        if (!m_source.Read(chunk, sizeof chunk, &got)) {
            m_failed = true;
            return false;
        }
        m_size += got;
        const std::size_t skipped = std::min(m_skip, got);
        m_skip -= skipped;
        m_pending.append(chunk + skipped, got - skipped);
        m_atEnd = got == 0;
        return !m_atEnd;
    }

    RegFileSource& m_source;
    std::size_t m_unit;
    std::size_t m_skip;
    std::string m_pending;
    std::size_t m_start = 0;
    std::size_t m_scan = 0;
    std::uint64_t m_size = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_done = false;
};

enum class Encoding { Utf8, Utf16, CodePage };

struct FileEncoding {
    Encoding encoding = Encoding::Utf8;
    std::size_t markBytes = 0; // the byte-order mark to skip
};

// From the byte-order mark, or without one from whether every byte is UTF-8 (checked line by
// line, which is the same). Leaves the source at its start.
bool FindEncoding(RegFileSource& source, FileEncoding* found, RegFileError* error) {
    LineReader lines(source, 1, 0);
    std::string line;
    if (!lines.Next(&line)) {
        return Fail(error, 0, kUnreadable);
    }
    *found = {};
    if (line.rfind("\xFF\xFE", 0) == 0) {
        *found = {Encoding::Utf16, 2};
        while (lines.Next(&line)) {
        }
        if (!lines.Failed() && lines.Size() % 2 != 0) {
            return Fail(error, 0, "the file is UTF-16 but has an odd number of bytes");
        }
    } else if (line.rfind("\xFE\xFF", 0) == 0) {
        return Fail(error, 1, "UTF-16 big-endian files are not supported");
    } else if (line.rfind("\xEF\xBB\xBF", 0) == 0) {
        found->markBytes = 3;
    } else {
        // Not UTF-8: an 8-bit file written on Windows, in its ANSI code page.
        do {
            if (!text::IsUtf8(line)) {
                found->encoding = Encoding::CodePage;
                break;
            }
        } while (lines.Next(&line));
    }
    if (lines.Failed() || !source.Rewind()) {
        return Fail(error, 0, kUnreadable);
    }
    return true;
}

// Parses a file whose encoding is known, from the source's start.
bool ParseLines(RegFileSource& source, FileEncoding encoding, int codePage,
                const RegFileVisitor& visit, RegFileError* error) {
    LineReader lines(source, encoding.encoding == Encoding::Utf16 ? 2 : 1, encoding.markBytes);
    int lineNumber = 0;
    std::string raw;
    // The next line as UTF-8, its carriage return taken off.
    const auto next = [&](std::string* line) {
        if (!lines.Next(&raw)) {
            return false;
        }
        ++lineNumber;
        if (encoding.encoding == Encoding::Utf16) {
            *line = text::Utf16LeToUtf8(raw);
        } else if (encoding.encoding == Encoding::CodePage) {
            *line = text::CodePageToUtf8(raw, codePage);
        } else {
            line->swap(raw);
        }
        if (!line->empty() && line->back() == '\r') {
            line->pop_back();
        }
        return true;
    };

    std::string line;
    if (!next(&line)) {
        return Fail(error, 0, kUnreadable);
    }
    const std::string header = Trim(line);
    if (header != kHeader5 && header != kHeader4) {
        return Fail(error, 1,
                    std::string("the first line must be \"") + kHeader5 + "\" or \"" + kHeader4 +
                        "\"");
    }
    HexText hexText;
    hexText.codePage = encoding.encoding == Encoding::CodePage ? codePage : 0;
    hexText.utf16 = header == kHeader5 && hexText.codePage == 0;

    RegFileKey key;
    bool inKey = false;
    std::string piece;
    while (next(&line)) {
        const int lineNumberHere = lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                return Fail(error, lineNumberHere, "a key line must end with ]");
            }
            key = {};
            key.line = lineNumberHere;
            std::string name = line.substr(1, line.size() - 2);
            if (!name.empty() && name[0] == '-') {
                key.remove = true;
                name.erase(0, 1);
            }
            std::string why;
            if (!ParseKeyName(name, &key.root, &key.path, &why)) {
                return Fail(error, lineNumberHere, why);
            }
            if (key.remove && key.path.empty()) {
                return Fail(error, lineNumberHere, "a whole root cannot be deleted");
            }
            inKey = true;
            if (!visit(key, nullptr, error)) {
                return false;
            }
            continue;
        }
        // A value, perhaps continued over several lines by a trailing backslash (no complete
        // value line ends in one: texts end in a quote). Appended in place, so that a value
        // continued over many lines costs time in proportion to its length.
        while (!line.empty() && line.back() == '\\') {
            line.pop_back();
            if (!next(&piece)) {
                return Fail(error, lines.Failed() ? 0 : lineNumberHere,
                            lines.Failed() ? kUnreadable
                                           : "the file ends inside a continued value");
            }
            line.erase(line.find_last_not_of(" \t") + 1);
            line += Trim(piece);
        }
        if (!inKey) {
            return Fail(error, lineNumberHere, "a value comes before any [key]");
        }
        if (key.remove) {
            return Fail(error, lineNumberHere, "a value under a key that is being deleted");
        }
        RegFileValue value;
        value.line = lineNumberHere;
        std::string why;
        if (line.empty()) {
            return Fail(error, lineNumberHere, "a continued value with nothing in it");
        }
        if (!ParseValue(line, hexText, &value, &why)) {
            return Fail(error, lineNumberHere, why);
        }
        if (!visit(key, &value, error)) {
            return false;
        }
    }
    return !lines.Failed() || Fail(error, 0, kUnreadable);
}

} // namespace

bool ParseRegFile(RegFileSource& source, const RegFileVisitor& visit, RegFileError* error,
                  int codePage) {
    FileEncoding encoding;
    return FindEncoding(source, &encoding, error) &&
           ParseLines(source, encoding, codePage, visit, error);
}

bool ParseRegFile(const std::string& bytes, std::vector<RegFileKey>* keys, RegFileError* error,
                  int codePage) {
    keys->clear();
    RegFileBytes source(bytes);
    return ParseRegFile(
        source,
        [keys](const RegFileKey& key, const RegFileValue* value, RegFileError*) {
            if (value == nullptr) {
                keys->push_back(key);
            } else {
                keys->back().values.push_back(*value);
            }
            return true;
        },
        error, codePage);
}

namespace {

std::string JoinPath(const std::vector<std::string>& path) {
    std::string joined;
    for (const auto& part : path) {
        if (!joined.empty()) {
            joined += '\\';
        }
        joined += part;
    }
    return joined;
}

HKEY RootKey(Root root) {
    return root == Root::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::string Describe(LSTATUS rc) {
    switch (rc) {
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_INVALID_PARAMETER:
        return "invalid name";
    case ERROR_KEY_DELETED:
        return "the key was deleted meanwhile";
    default:
        return "the store cannot be written (error " + std::to_string(rc) + ")";
    }
}

} // namespace

bool ImportRegFile(RegFileSource& source, RegFileError* error, int codePage) {
    // Checked whole before anything is stored: the system registry cannot take a change back.
    FileEncoding encoding;
    bool uses[2] = {false, false};
    if (!FindEncoding(source, &encoding, error) ||
        !ParseLines(
            source, encoding, codePage,
            [&uses](const RegFileKey& key, const RegFileValue*, RegFileError*) {
                uses[key.root == Root::CurrentUser ? 0 : 1] = true;
                return true;
            },
            error)) {
        return false;
    }
    if (!source.Rewind()) {
        return Fail(error, 0, kUnreadable);
    }
    // Both roots in the same order in every process, so that two imports never wait for each
    // other.
    std::optional<CRegTransaction> transactions[2];
    for (int i = 0; i < 2; ++i) {
        if (!uses[i]) {
            continue;
        }
        const Root root = i == 0 ? Root::CurrentUser : Root::LocalMachine;
        transactions[i].emplace(RootKey(root));
        if (transactions[i]->Started() != ERROR_SUCCESS) {
            return Fail(error, 0,
                        RegStoreLocation(RootKey(root)) + " for " + RootName(root) +
                            " cannot be written");
        }
    }
    CRegKey opened;
    const auto store = [&opened](const RegFileKey& key, const RegFileValue* value,
                                 RegFileError* failed) {
        LSTATUS rc = ERROR_SUCCESS;
        if (value == nullptr) {
            opened.Close();
            const std::string path = JoinPath(key.path);
            if (key.remove) {
                rc = RegDeleteTreeA(RootKey(key.root), path.c_str());
                return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ||
                       Fail(failed, key.line, "cannot delete the key: " + Describe(rc));
            }
            rc = opened.Create(RootKey(key.root), path.c_str(), KEY_ALL_ACCESS);
            return rc == ERROR_SUCCESS ||
                   Fail(failed, key.line, "cannot create the key: " + Describe(rc));
        }
        if (value->remove) {
            rc = RegDeleteValueA(opened.Get(), value->name.c_str());
            if (rc == ERROR_FILE_NOT_FOUND) {
                rc = ERROR_SUCCESS;
            }
        } else {
            rc = RegSetValueExA(opened.Get(), value->name.c_str(), 0, value->type,
                                value->data.data(), static_cast<DWORD>(value->data.size()));
        }
        return rc == ERROR_SUCCESS ||
               Fail(failed, value->line, "cannot store the value: " + Describe(rc));
    };
    if (!ParseLines(source, encoding, codePage, store, error)) {
        return false;
    }
    for (int i = 1; i >= 0; --i) {
        if (transactions[i] && transactions[i]->Commit() != ERROR_SUCCESS) {
            return Fail(error, 0, "the changes could not be saved");
        }
    }
    return true;
}

namespace {

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// A text value the "text" form gives back exactly: UTF-8 with one terminating NUL and nothing
// a line would change. Any other text (bytes that are not UTF-8 among them) is written in the
// typed hex form, which keeps every byte.
bool TextForm(DWORD type, const std::vector<BYTE>& data, std::string* text) {
    if (type != REG_SZ || data.empty() || data.back() != 0) {
        return false;
    }
    text->assign(data.begin(), data.end() - 1);
    return text->find_first_of(std::string("\0\r\n", 3)) == std::string::npos &&
           text::IsUtf8(*text);
}

std::vector<BYTE> Utf16Data(const std::vector<BYTE>& utf8) {
    const std::string units = text::Utf8ToUtf16Le(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
    return {units.begin(), units.end()};
}

void AppendHex(std::string* out, const std::string& prefix, const std::vector<BYTE>& data) {
    static const char* const kHex = "0123456789abcdef";
    std::string line = prefix;
    for (std::size_t i = 0; i < data.size(); ++i) {
        line += kHex[data[i] >> 4];
        line += kHex[data[i] & 15];
        if (i + 1 < data.size()) {
            line += ',';
            if (line.size() > 76) {
                *out += line + "\\\r\n";
                line = "  ";
            }
        }
    }
    *out += line + "\r\n";
}

bool NameWritable(const std::string& name, RegFileFormat format) {
    if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        return false;
    }
    // A UTF-16 file carries any name (bytes that are not UTF-8 as their units); the 8-bit ones
    // only UTF-8, or they would be read back in a code page.
    return format == RegFileFormat::Utf16 || text::IsUtf8(name);
}

// A value as listed by RegEnumValueA, data grown until it fits.
struct ListedValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

Status ToStatus(LSTATUS rc) {
    switch (rc) {
    case ERROR_SUCCESS:
        return Status::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_KEY_DELETED:
        return Status::NotFound;
    default:
        return Status::Unavailable;
    }
}

Status ListValues(HKEY key, std::vector<ListedValue>* out) {
    // Room for the longest name, so that "more data" is only ever about the data.
    std::vector<char> name(kMaxRegValueNameBytes + 1);
    std::vector<BYTE> data(256);
    for (DWORD index = 0;;) {
        auto nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        auto size = static_cast<DWORD>(data.size());
        const LSTATUS rc =
            RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (rc == ERROR_NO_MORE_ITEMS) {
            return Status::Ok;
        }
        if (rc == ERROR_MORE_DATA && size > data.size()) {
            data.resize(size); // the same index again with room for the data
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            return ToStatus(rc);
        }
        out->push_back({std::string(name.data(), nameLength), type,
                        std::vector<BYTE>(data.begin(), data.begin() + size)});
        ++index;
    }
}

Status ListSubkeys(HKEY key, std::vector<std::string>* out) {
    char name[kMaxRegNameBytes + 1];
    for (DWORD index = 0;; ++index) {
        const LSTATUS rc = RegEnumKeyA(key, index, name, sizeof name);
        if (rc == ERROR_NO_MORE_ITEMS) {
            return Status::Ok;
        }
        if (rc != ERROR_SUCCESS) {
            return ToStatus(rc);
        }
        out->emplace_back(name);
    }
}

// One key's line and values.
Status ExportValues(HKEY key, const std::string& fullName, RegFileFormat format, std::string* out,
                    std::string* error) {
    if (!NameWritable(fullName, format)) {
        *error = "the key name '" + fullName + "' cannot be written in this format";
        return Status::Unavailable;
    }
    *out += "[" + fullName + "]\r\n";
    std::vector<ListedValue> values;
    const Status status = ListValues(key, &values);
    if (status != Status::Ok) {
        return status;
    }
    for (const auto& value : values) {
        if (!NameWritable(value.name, format)) {
            *error = "a value name in '" + fullName + "' cannot be written in this format";
            return Status::Unavailable;
        }
        const std::string name = value.name.empty() ? "@" : Quote(value.name);
        std::string text;
        if (TextForm(value.type, value.data, &text)) {
            *out += name + "=" + Quote(text) + "\r\n";
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            char number[16];
            std::snprintf(number, sizeof number, "dword:%08x",
                          static_cast<unsigned>(value.data[0] | (value.data[1] << 8) |
                                                (value.data[2] << 16) |
                                                (static_cast<DWORD>(value.data[3]) << 24)));
            *out += name + "=" + number + "\r\n";
        } else if (value.type == REG_BINARY) {
            AppendHex(out, name + "=hex:", value.data);
        } else {
            char prefix[24];
            std::snprintf(prefix, sizeof prefix, "=hex(%x):", static_cast<unsigned>(value.type));
            AppendHex(out, name + prefix,
                      format != RegFileFormat::Regedit4 && IsTextType(value.type)
                          ? Utf16Data(value.data)
                          : value.data);
        }
    }
    *out += "\r\n";
    return Status::Ok;
}

// Text of the file in its encoding: UTF-16LE for the registry editor's own format.
std::string Encoded(const std::string& text, RegFileFormat format) {
    return format == RegFileFormat::Utf16 ? text::Utf8ToUtf16Le(text) : text;
}

// The key and everything below it, each key before its subkeys and those in name order. Walked
// with a list of its own, one open key per level, rather than by recursion: the store may hold
// trees deeper than any stack.
Status ExportTree(CRegKey top, const std::string& topName, RegFileFormat format, RegFileSink& sink,
                  std::string* error) {
    struct Level {
        CRegKey key;
        std::string name;
        std::vector<std::string> children;
        std::size_t next = 0;
    };
    // One key's lines at a time.
    const auto exportValues = [&](HKEY key, const std::string& name) {
        std::string piece;
        const Status status = ExportValues(key, name, format, &piece, error);
        if (status != Status::Ok) {
            return status;
        }
        return sink.Write(Encoded(piece, format)) ? Status::Ok : Status::Unavailable;
    };
    std::vector<Level> levels;
    Level first{std::move(top), topName, {}, 0};
    Status status = exportValues(first.key.Get(), first.name);
    if (status == Status::Ok) {
        status = ListSubkeys(first.key.Get(), &first.children);
    }
    levels.push_back(std::move(first));
    while (status == Status::Ok && !levels.empty()) {
        Level& parent = levels.back();
        if (parent.next == parent.children.size()) {
            levels.pop_back();
            continue;
        }
        const std::string& child = parent.children[parent.next++];
        Level level{{}, parent.name + "\\" + child, {}, 0};
        const LSTATUS rc = level.key.Open(parent.key.Get(), child.c_str(), KEY_READ);
        if (rc == ERROR_FILE_NOT_FOUND) {
            continue; // deleted by someone else meanwhile
        }
        status = rc == ERROR_SUCCESS ? exportValues(level.key.Get(), level.name) : ToStatus(rc);
        if (status == Status::Ok) {
            status = ListSubkeys(level.key.Get(), &level.children);
        }
        levels.push_back(std::move(level));
    }
    return status;
}

// An unusable store answers as an empty one: no proof that a key is missing or empty.
bool StoreUnreadable(Root root, std::string* error) {
    const std::string why = RegStoreProblem(RootKey(root));
    if (why.empty()) {
        return false;
    }
    *error = "the store cannot be read (" + why + ")";
    return true;
}

} // namespace

Status ExportRegFile(Root root, const std::vector<std::string>& path, RegFileFormat format,
                     RegFileSink& sink, std::string* error) {
    // Written with the names as stored, whatever case the caller used.
    std::string fullName = RootName(root);
    CRegKey key;
    if (const LSTATUS rc = key.Open(RootKey(root), nullptr, KEY_READ); rc != ERROR_SUCCESS) {
        return ToStatus(rc);
    }
    for (const auto& part : path) {
        std::vector<std::string> children;
        Status status = ListSubkeys(key.Get(), &children);
        if (status != Status::Ok) {
            return status;
        }
        const std::string* stored = nullptr;
        for (const auto& child : children) {
            if (text::SameName(child, part)) {
                stored = &child;
                break;
            }
        }
        CRegKey next;
        const LSTATUS rc =
            next.Open(key.Get(), stored != nullptr ? stored->c_str() : part.c_str(), KEY_READ);
        if (rc == ERROR_FILE_NOT_FOUND && StoreUnreadable(root, error)) {
            return Status::Unavailable;
        }
        if (rc != ERROR_SUCCESS) {
            return ToStatus(rc);
        }
        key = std::move(next);
        fullName += "\\" + (stored != nullptr ? *stored : part);
    }
    const std::string header =
        std::string(format == RegFileFormat::Regedit4 ? kHeader4 : kHeader5) + "\r\n\r\n";
    if (!sink.Write((format == RegFileFormat::Utf16 ? "\xFF\xFE" : "") + Encoded(header, format))) {
        return Status::Unavailable;
    }
    const Status status = ExportTree(std::move(key), fullName, format, sink, error);
    if (status != Status::Ok) {
        return status;
    }
    return StoreUnreadable(root, error) ? Status::Unavailable : Status::Ok;
}

Status ExportRegFile(Root root, const std::vector<std::string>& path, RegFileFormat format,
                     std::string* out, std::string* error) {
    struct StringSink final : RegFileSink {
        std::string text;
        bool Write(const std::string& bytes) override {
            text += bytes;
            return true;
        }
    } sink;
    const Status status = ExportRegFile(root, path, format, sink, error);
    if (status == Status::Ok) {
        *out = std::move(sink.text);
    }
    return status;
}

} // namespace registry
