// import and export: registry files in the registry editor's format, through the same store
// the Monitor uses.
#include "Command.h"

#include "System.h"
#include "platform/registry/RegFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace ctl {

namespace {

const char* const kImportHelp =
    "usage: quorvel-monitorctl import FILE\n"
    "\n"
    "Loads a registry file into the store: all of it, or, when anything in it is wrong,\n"
    "nothing (the error names the line). FILE '-' reads standard input.\n"
    "\n"
    "Headers: 'Windows Registry Editor Version 5.00' (UTF-16LE with byte-order mark, or UTF-8)\n"
    "and 'REGEDIT4'. Lines: [KEY], [-KEY] (delete with everything below), \"name\"=\"text\",\n"
    "@=\"text\" (default value), \"name\"=dword:0000002a, \"name\"=hex:01,02,...,\n"
    "\"name\"=hex(N):..., \"name\"=- (delete), ';' comments; a trailing backslash continues a\n"
    "line. Roots: HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM).\n"
    "\n"
    "Exit status: 0 loaded, 2 bad usage, unreadable or malformed file, store not writable.\n";

const char* const kExportHelp =
    "usage: quorvel-monitorctl export [--utf8 | --regedit4] KEY [FILE]\n"
    "\n"
    "Writes KEY, its values and everything below it as a registry file that import reads back\n"
    "byte for byte. KEY is e.g. 'HKCU\\Software\\Marrowfen\\QUORVEL PRO'. Without FILE, or with\n"
    "'-', the file goes to standard output.\n"
    "\n"
    "  --utf8      version 5.00 header, UTF-8 (default: UTF-16LE with byte-order mark)\n"
    "  --regedit4  REGEDIT4 header, names and texts as stored\n"
    "\n"
    "Exit status: 0 written, 1 no such key, 2 bad usage or the file cannot be written.\n";

bool ReadAll(const std::string& file, std::string* out, std::string* why) {
    if (file == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        *out = text.str();
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *why = std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        *why = "read error";
        return false;
    }
    *out = text.str();
    return true;
}

// Writes beside the target and renames, so that a failed export never leaves half a file.
bool WriteAll(const std::string& file, const std::string& content, std::string* why) {
    if (file == "-") {
        const bool ok = std::fwrite(content.data(), 1, content.size(), stdout) == content.size() &&
                        std::fflush(stdout) == 0;
        if (!ok) {
            *why = std::strerror(errno);
        }
        return ok;
    }
    return WritePrivateFile(file, content, why);
}

} // namespace

int RunImport(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kImportHelp, stdout);
        return kOk;
    }
    if (args.size() != 1) {
        return Fail("import: expected one FILE (try 'import --help')");
    }
    const std::string& file = args[0];
    std::string bytes;
    std::string why;
    if (!ReadAll(file, &bytes, &why)) {
        return Fail("import: cannot read " + file + ": " + why);
    }
    std::vector<registry::RegFileKey> keys;
    registry::RegFileError error;
    if (!registry::ParseRegFile(bytes, &keys, &error)) {
        return Fail("import: " + file + ": " + error.Text() + "; nothing was imported");
    }
    if (!registry::ApplyRegFile(keys, &error)) {
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
    std::string content;
    const registry::Status status = registry::ExportRegFile(root, path, format, &content, &why);
    if (status == registry::Status::NotFound) {
        std::fprintf(stderr, "quorvel-monitorctl: export: %s: no such key\n",
                     positional[0].c_str());
        return kFalse;
    }
    if (status != registry::Status::Ok) {
        return Fail("export: " + positional[0] + ": " +
                    (why.empty() ? "the store cannot be read" : why));
    }
    const std::string file = positional.size() == 2 ? positional[1] : "-";
    if (!WriteAll(file, content, &why)) {
        return Fail("export: cannot write " + file + ": " + why);
    }
    return kOk;
}

} // namespace ctl
