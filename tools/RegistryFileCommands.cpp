// import and export: registry files in the registry editor's format, through the same store
// the Monitor uses.
#include "Command.h"

#include "System.h"
#include "platform/SystemText.h"
#include "platform/Text.h"
#include "platform/registry/RegFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace ctl {

namespace {

const char* const kImportHelp =
    "usage: quorvel-monitorctl import [--codepage N] FILE\n"
    "\n"
    "Loads a registry file into the store: all of it, or, when anything in it is wrong,\n"
    "nothing (the error names the line). FILE '-' reads standard input.\n"
    "\n"
    "Text is stored as UTF-8. An 8-bit file that is not UTF-8 was written on Windows in its\n"
    "ANSI code page: it is read as Windows-1252, or as code page N (1252 Western, 1251\n"
    "Cyrillic, 866 Cyrillic DOS). A typed hex text (hex(1), hex(2), hex(7)) in a 5.00 file\n"
    "is UTF-16; its units DC80 to DCFF stand for bytes that are not UTF-8, kept as they are.\n"
    "\n"
    "Headers: 'Windows Registry Editor Version 5.00' (UTF-16LE with byte-order mark, or UTF-8)\n"
    "and 'REGEDIT4'. Lines: [KEY], [-KEY] (delete with everything below), \"name\"=\"text\",\n"
    "@=\"text\" (default value), \"name\"=dword:0000002a, \"name\"=hex:01,02,...,\n"
    "\"name\"=hex(N):..., \"name\"=- (delete), ';' comments; a trailing backslash continues a\n"
    "line. Roots: HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM).\n"
    "\n"
    "Limits, those of the Windows registry: each part of a key name at most 255 characters,\n"
    "a value name at most 16,383, keys at most 512 levels below their root (characters\n"
    "counted in UTF-16 units, as the registry counts them); the file at most 256 MiB. A file\n"
    "beyond them is refused.\n"
    "\n"
    "Exit status: 0 loaded, 2 bad usage, unreadable or malformed file, store not writable.\n";

const char* const kExportHelp =
    "usage: quorvel-monitorctl export [--utf8 | --regedit4] KEY [FILE]\n"
    "\n"
    "Writes KEY, its values and everything below it as a registry file that import reads back\n"
    "byte for byte. KEY is e.g. 'HKCU\\Software\\Marrowfen\\QUORVEL PRO'. Without FILE, or with\n"
    "'-', the file goes to standard output. A symbolic link is followed. An existing FILE that\n"
    "is not a regular file (a terminal, a pipe, a device) is written in place; a regular file\n"
    "is replaced only by a complete new one, which keeps its mode (a new file is 0600).\n"
    "\n"
    "  --utf8      version 5.00 header, UTF-8 (default: UTF-16LE with byte-order mark)\n"
    "  --regedit4  REGEDIT4 header, UTF-8\n"
    "\n"
    "A text whose bytes are not UTF-8 is written as typed hex (hex(1), hex(2), hex(7)): in a\n"
    "5.00 file as UTF-16 with each such byte the unit DC00 plus the byte, in REGEDIT4 as the\n"
    "bytes. A name that is not UTF-8 fits only the UTF-16 file; the others refuse it.\n"
    "\n"
    "Exit status: 0 written, 1 no such key, 2 bad usage, the store cannot be read or the file\n"
    "cannot be written.\n";

std::string TooLarge() {
    return "it holds more than " + std::to_string(registry::kMaxRegFileBytes >> 20) + " MiB";
}

// Copies what is left of `from` to `to` a piece at a time; false with the reason when either
// fails, or once more than `limit` bytes have come.
bool CopyStream(std::FILE* from, std::FILE* to, std::size_t limit, std::string* why) {
    std::vector<char> chunk(std::size_t{1} << 20);
    std::size_t got = 0;
    std::size_t total = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), from)) > 0) {
        total += got;
        if (total > limit) {
            *why = TooLarge();
            return false;
        }
        if (std::fwrite(chunk.data(), 1, got, to) != got) {
            *why = std::strerror(errno);
            return false;
        }
    }
    if (std::ferror(from) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}

// A registry file read in pieces, refused once more than the most a registry file may hold has
// come from it: an endless input costs no more than that. An import reads its file three times,
// so it reads a scratch copy made in one go: an edit while it runs cannot show a later pass other
// lines than the check saw (the Windows registry cannot take back what a pass stored), and a pipe
// or standard input can be imported as well as a file.
class FileSource final : public registry::RegFileSource {
public:
    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override { Close(); }

    bool Open(const std::string& file) {
        std::error_code ec;
        if (file != "-" && std::filesystem::is_regular_file(NativePath(file), ec) &&
            std::filesystem::file_size(NativePath(file), ec) > registry::kMaxRegFileBytes) {
            return Refuse(TooLarge());
        }
        std::FILE* input = file == "-" ? stdin : OpenFile(file, "rb");
        if (input == nullptr) {
            return Refuse(std::strerror(errno));
        }
        const bool copied = Copy(input);
        if (input != stdin) {
            std::fclose(input);
        }
        return copied && Rewind();
    }
    bool Read(char* buffer, std::size_t size, std::size_t* got) override {
        *got = std::fread(buffer, 1, size, m_file);
        return (*got > 0 || std::ferror(m_file) == 0) || Refuse(std::strerror(errno));
    }
    bool Rewind() override {
        return std::fseek(m_file, 0, SEEK_SET) == 0 || Refuse(std::strerror(errno));
    }
    // Why the file could not be read; empty while it could.
    const std::string& Why() const { return m_why; }

private:
    bool Copy(std::FILE* input) {
        m_file = OpenScratchFile(&m_why);
        return m_file != nullptr && CopyStream(input, m_file, registry::kMaxRegFileBytes, &m_why);
    }
    bool Refuse(const std::string& why) {
        m_why = why;
        return false;
    }
    void Close() {
        if (m_file != nullptr) {
            std::fclose(m_file);
            m_file = nullptr;
        }
    }

    std::FILE* m_file = nullptr;
    std::string m_why;
};

// An export kept in a scratch file as it is made, so that memory does not grow with the store,
// and written out only once it is whole.
class ScratchSink final : public registry::RegFileSink {
public:
    ScratchSink() : m_file(OpenScratchFile(&m_why)) {}
    ScratchSink(const ScratchSink&) = delete;
    ScratchSink& operator=(const ScratchSink&) = delete;
    ~ScratchSink() override {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
    }
    bool Write(const std::string& bytes) override {
        if (m_file == nullptr) {
            return false;
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
            m_why = std::strerror(errno);
            return false;
        }
        return true;
    }
    // The export from its start; null (with Why()) when it could not be kept.
    std::FILE* Rewound() {
        if (m_file != nullptr &&
            (std::fflush(m_file) != 0 || std::fseek(m_file, 0, SEEK_SET) != 0)) {
            m_why = std::strerror(errno);
            return nullptr;
        }
        return m_file;
    }
    const std::string& Why() const { return m_why; }

private:
    std::FILE* m_file;
    std::string m_why;
};

// Standard output for '-', else the file by the system's rules (System.h).
bool WriteAll(const std::string& file, std::FILE* content, std::string* why) {
    if (file != "-") {
        return WriteOutputFile(file, content, why);
    }
    if (!CopyStream(content, stdout, SIZE_MAX, why)) {
        return false;
    }
    if (std::fflush(stdout) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

int RunImport(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kImportHelp, stdout);
        return kOk;
    }
    int codePage = 1252;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--codepage" && i + 1 < args.size()) {
            codePage = std::atoi(args[++i].c_str());
            if (!text::KnownCodePage(codePage)) {
                return Fail("import: code page '" + args[i] + "' is not one of 1252, 1251, 866");
            }
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 1) {
        return Fail("import: expected one FILE (try 'import --help')");
    }
    const std::string& file = positional[0];
    FileSource source;
    registry::RegFileError error;
    if (!source.Open(file) || !registry::ImportRegFile(source, &error, codePage)) {
        if (!source.Why().empty()) {
            return Fail("import: cannot read " + file + ": " + source.Why() +
                        "; nothing was imported");
        }
        return Fail("import: " + file + ": " + error.Text() + "; nothing was imported");
    }
    return kOk;
}

int RunExport(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kExportHelp, stdout);
        return kOk;
    }
    registry::RegFileFormat format = registry::RegFileFormat::Utf16;
    std::vector<std::string> positional;
    for (const auto& arg : args) {
        if (arg == "--utf8") {
            format = registry::RegFileFormat::Utf8;
        } else if (arg == "--regedit4") {
            format = registry::RegFileFormat::Regedit4;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return Fail("export: unknown option '" + arg + "' (try 'export --help')");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty() || positional.size() > 2) {
        return Fail("export: expected KEY [FILE] (try 'export --help')");
    }
    registry::Root root;
    std::vector<std::string> path;
    std::string why;
    if (!registry::ParseKeyName(positional[0], &root, &path, &why)) {
        return Fail("export: " + positional[0] + ": " + why);
    }
    ScratchSink scratch;
    const registry::Status status = registry::ExportRegFile(root, path, format, scratch, &why);
    if (status == registry::Status::NotFound) {
        std::fprintf(stderr, "quorvel-monitorctl: export: %s: no such key\n",
                     positional[0].c_str());
        return kFalse;
    }
    const std::string file = positional.size() == 2 ? positional[1] : "-";
    if (status != registry::Status::Ok && why.empty() && !scratch.Why().empty()) {
        return Fail("export: cannot write " + file + ": " + scratch.Why());
    }
    if (status != registry::Status::Ok) {
        return Fail("export: " + positional[0] + ": " +
                    (why.empty() ? "the store cannot be read" : why));
    }
    std::FILE* content = scratch.Rewound();
    if (content == nullptr || !WriteAll(file, content, &why)) {
        return Fail("export: cannot write " + file + ": " +
                    (content == nullptr ? scratch.Why() : why));
    }
    return kOk;
}

} // namespace ctl
