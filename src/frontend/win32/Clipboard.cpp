#include "frontend/win32/Clipboard.h"

#include "platform/Text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// The clipboard is open while its data is read, and closed on every way out.
class COpenClipboard {
public:
    COpenClipboard() : m_open(::OpenClipboard(nullptr) != FALSE) {}
    ~COpenClipboard() {
        if (m_open) {
            ::CloseClipboard();
        }
    }
    COpenClipboard(const COpenClipboard&) = delete;
    COpenClipboard& operator=(const COpenClipboard&) = delete;
    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};

} // namespace

std::string CWin32Clipboard::GetText() {
    // Another program holding the clipboard open makes this a miss, never a wait: the next
    // poll reads it.
    COpenClipboard clipboard;
    if (!clipboard.IsOpen()) {
        return {};
    }
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
        return {};
    }
    const auto* units = static_cast<const wchar_t*>(::GlobalLock(data));
    if (units == nullptr) {
        return {};
    }
    // Never past the block, whatever the owner put in it.
    const std::size_t capacity = ::GlobalSize(data) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < capacity && units[length] != L'\0') {
        ++length;
    }
    std::string result = text::FromWide(std::wstring_view(units, length));
    ::GlobalUnlock(data);
    return result;
}

bool CWin32Clipboard::IsControlKeyDown() {
    return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

std::int64_t CWin32Clipboard::GetChangeCount() {
    return ::GetClipboardSequenceNumber();
}
