// Registry files in the format the Windows registry editor reads and writes, so that a tree can
// be carried between the store and a text file (and between machines) without loss.
//
// Read: "Windows Registry Editor Version 5.00" (UTF-16LE with a byte-order mark, or UTF-8) and
// "REGEDIT4"; [KEY] and [-KEY]; "name"="text" with \\ and \" escapes; @ for the default value;
// dword:, hex: and hex(N): with lines continued by a trailing backslash; "name"=-; comments
// starting with ';'. Roots HKEY_CURRENT_USER / HKCU and HKEY_LOCAL_MACHINE / HKLM.
//
// Text is UTF-8 inside, so each file is converted once as it is read or written: UTF-16 files
// (and the hex(N) text data of any 5.00 file) through the one UTF-16 conversion, 8-bit files
// that are not UTF-8 from the ANSI code page they were written in. A text whose bytes are not
// UTF-8 is written in the typed hex form (hex(1), hex(2), hex(7)), which keeps every byte: in a
// 5.00 file each such byte is the UTF-16 unit 0xDC00 + byte, in REGEDIT4 the byte itself.
#pragma once

#include "platform/Types.h"
#include "platform/registry/RegistryTypes.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

struct RegFileValue {
    std::string name; // empty for the default value
    bool remove = false;
    DWORD type = 0;
    std::vector<BYTE> data;
    int line = 0;
};

struct RegFileKey {
    Root root = Root::CurrentUser;
    std::vector<std::string> path; // below the root
    bool remove = false;
    std::vector<RegFileValue> values; // filled only by the ParseRegFile that collects a file
    int line = 0;
};

// Why a file was refused; line 0 when the problem is not on one line.
struct RegFileError {
    int line = 0;
    std::string message;
    std::string Text() const;
};

// The most a registry file may hold, for those who read one: far more than any real one, and a
// bound on what an endless input can cost.
constexpr std::size_t kMaxRegFileBytes = std::size_t{256} << 20;

// Where a registry file is read from: in pieces, and again from its start when asked, so that
// no file is ever held whole (an import reads it three times: to find its encoding, to check
// it, to store it).
class RegFileSource {
public:
    virtual ~RegFileSource() = default;
    // Up to `size` bytes into `buffer`, 0 at the end; false when the file cannot be read.
    virtual bool Read(char* buffer, std::size_t size, std::size_t* got) = 0;
    virtual bool Rewind() = 0;
};

// A file already in memory.
class RegFileBytes final : public RegFileSource {
public:
    explicit RegFileBytes(std::string_view bytes) : m_bytes(bytes) {}
    bool Read(char* buffer, std::size_t size, std::size_t* got) override;
    bool Rewind() override;

private:
    std::string_view m_bytes;
    std::size_t m_next = 0;
};

// Called for each [key] line (`value` null) and then for each of its values, in the file's
// order; false (with `error` set) stops the parse.
using RegFileVisitor =
    std::function<bool(const RegFileKey& key, const RegFileValue* value, RegFileError* error)>;

// Decodes and parses a file one line at a time. A malformed file gives false and its first
// problem, after the visitor has seen what came before it. `codePage` is the one an 8-bit file
// that is not UTF-8 is read in (see text::KnownCodePage).
bool ParseRegFile(RegFileSource& source, const RegFileVisitor& visit, RegFileError* error,
                  int codePage = 1252);
// The same into a list of keys with their values.
bool ParseRegFile(const std::string& bytes, std::vector<RegFileKey>* keys, RegFileError* error,
                  int codePage = 1252);

// Stores what a file says, all or nothing: the whole file is checked first, then stored inside
// one write transaction per root, committed only when every change went in. Memory does not
// grow with the file: one value is held at a time.
bool ImportRegFile(RegFileSource& source, RegFileError* error, int codePage = 1252);

// "HKEY_CURRENT_USER\Software\X", "HKCU\Software\X\" or "HKLM" into a root and a path.
bool ParseKeyName(const std::string& name, Root* root, std::vector<std::string>* path,
                  std::string* error);
std::string RootName(Root root);

enum class RegFileFormat {
    Utf16,   // version 5.00 in UTF-16LE with a byte-order mark, as the registry editor writes
    Utf8,    // version 5.00 in UTF-8
    Regedit4 // REGEDIT4 in UTF-8
};

// Where an export goes: in pieces of one key's lines each, so that no file is ever held whole.
class RegFileSink {
public:
    virtual ~RegFileSink() = default;
    // False when the piece cannot be written; the export stops there.
    virtual bool Write(const std::string& bytes) = 0;
};

// The key, its values and everything below it, into `sink`. NotFound when there is no such key
// (nothing written); Unavailable with a reason when a name cannot be written in the chosen
// format or the store cannot be read, and with none when the sink refused a piece. On any
// status but Ok what the sink was given is not a whole file.
Status ExportRegFile(Root root, const std::vector<std::string>& path, RegFileFormat format,
                     RegFileSink& sink, std::string* error);
// The same into `out`, which is left alone unless the status is Ok.
Status ExportRegFile(Root root, const std::vector<std::string>& path, RegFileFormat format,
                     std::string* out, std::string* error);

} // namespace registry
