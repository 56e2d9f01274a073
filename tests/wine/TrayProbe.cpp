// What the Wine scenarios cannot see from X: the notification area as a Windows program sees it.
//   tips      prints the text of every shown tooltip, the tray's balloons included, one a line
//             (a tooltip answers WM_GETTEXT with the text it shows, and the system carries that
//             message across processes, unlike the tooltip messages)
//   recreate  does what a restarted shell does to the Monitor: its new notification area knows
//             none of the old icons, and "TaskbarCreated" goes to every top-level window
//   announce  only says "TaskbarCreated", as a shell may while it still knows the icons
#include "platform/Text.h"

#include <windows.h>

#include <commctrl.h>
#include <cstdio>
#include <shellapi.h>
#include <string>

namespace {

BOOL CALLBACK PrintTip(HWND window, LPARAM) {
    wchar_t name[64] = {};
    if (::IsWindowVisible(window) && ::GetClassNameW(window, name, 64) > 0 &&
        lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) {
        std::wstring tip(1024, L'\0');
        DWORD_PTR length = 0;
        if (::SendMessageTimeoutW(window, WM_GETTEXT, tip.size(),
                                  reinterpret_cast<LPARAM>(tip.data()), SMTO_ABORTIFHUNG, 2000,
                                  &length) != 0) {
            tip.resize(length);
            std::printf("%s\n", text::FromWide(tip).c_str());
        }
    }
    return TRUE;
}

bool AnnounceTaskbar(bool forgetIcon) {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = ::FindWindowW(L"QuorvelProMonitorFrame", nullptr);
    icon.uID = 1;
    if (forgetIcon && (icon.hWnd == nullptr || ::Shell_NotifyIconW(NIM_DELETE, &icon) == FALSE)) {
        return false;
    }
    ::SendNotifyMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "tips") {
        return ::EnumWindows(PrintTip, 0) != FALSE ? 0 : 1;
    }
    if (command == "recreate" || command == "announce") {
        return AnnounceTaskbar(command == "recreate") ? 0 : 1;
    }
    std::fprintf(stderr, "usage: qpm_tray_probe tips | recreate | announce\n");
    return 2;
}
