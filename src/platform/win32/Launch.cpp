// The shell's "open" verb itself: the file and the parameter string go to ShellExecuteEx as
// they are, and the program splits its command line as every Windows program does.
#include "platform/Launch.h"

#include "platform/Text.h"
#include "platform/win32/Api.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

const char kFolderSeparator = '\\';

namespace {

class CWin32Shell : public IShellOpen {
public:
    bool Open(const std::string& file, const char* parameters, std::string* error) override {
        const std::wstring wideFile = text::ToWide(file);
        const std::wstring wideParameters = text::ToWide(parameters != nullptr ? parameters : "");
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = L"open";
        info.lpFile = wideFile.c_str();
        info.lpParameters = parameters != nullptr ? wideParameters.c_str() : nullptr;
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) {
            if (error != nullptr) {
                // Named as the POSIX launcher names it: the log shows which program failed.
                const std::string why = win32::ErrorText(GetLastError(), file);
                *error = why.find(file) != std::string::npos ? why : file + ": " + why;
            }
            return false;
        }
        if (info.hProcess != nullptr) {
            CloseHandle(info.hProcess);
        }
        return true;
    }
};

} // namespace

IShellOpen& SystemShell() {
    static CWin32Shell shell;
    return shell;
}
