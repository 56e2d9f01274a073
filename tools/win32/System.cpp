#include "System.h"

#include "platform/Launch.h"

#include "platform/Text.h"
#include "platform/win32/Api.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <vector>

namespace ctl {

namespace {

// Registry files and listings carry their own line ends: the streams must not add a CR.
const bool g_binaryStreams = [] {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    // What we print is UTF-8; a console shows it as such.
    SetConsoleOutputCP(CP_UTF8);
    return true;
}();

} // namespace

int RunAndWait(const Args& command, std::string* why) {
    std::string line;
    for (const auto& arg : command) {
        // Appended piece by piece: a concatenation here trips GCC 12's false -Werror=restrict.
        if (!line.empty()) {
            line += ' ';
        }
        line += QuoteArgument(arg);
    }
    std::wstring wide = text::ToWide(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        *why = win32::ErrorText(GetLastError());
        return -1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

bool WriteOutputFile(const std::string& file, std::FILE* content, std::string* why) {
    const std::string temp = file + ".tmp-" + std::to_string(GetCurrentProcessId());
    const std::wstring wideTemp = text::ToWide(temp);
    HANDLE out = CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        *why = win32::ErrorText(GetLastError());
        return false;
    }
    std::vector<char> chunk(std::size_t{1} << 20);
    std::size_t got = 0;
    bool ok = true;
    while (ok && (got = std::fread(chunk.data(), 1, chunk.size(), content)) > 0) {
        DWORD written = 0;
        ok = WriteFile(out, chunk.data(), static_cast<DWORD>(got), &written, nullptr) &&
             written == got;
    }
    ok = ok && FlushFileBuffers(out);
    if (!ok) {
        *why = win32::ErrorText(GetLastError());
    } else if (std::ferror(content) != 0) {
        *why = std::strerror(errno);
        ok = false;
    }
    CloseHandle(out);
    if (ok && !MoveFileExW(wideTemp.c_str(), text::ToWide(file).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *why = win32::ErrorText(GetLastError());
        ok = false;
    }
    if (!ok) {
        DeleteFileW(wideTemp.c_str());
    }
    return ok;
}

std::FILE* OpenScratchFile(std::string* why) {
    // The C runtime's tmpfile() writes into the root of the drive, which a user may not.
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"qpm", 0, name) == 0) {
        *why = win32::ErrorText(GetLastError());
        return nullptr;
    }
    // D: deleted when closed.
    std::FILE* file = _wfopen(name, L"w+bD");
    if (file == nullptr) {
        *why = std::strerror(errno);
        DeleteFileW(name);
    }
    return file;
}

} // namespace ctl
