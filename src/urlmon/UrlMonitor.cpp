#include "urlmon/UrlMonitor.h"

#include "app/MonitorApp.h"
#include "core/ActivityLog.h"
#include "core/Commands.h"
#include "core/Desktop.h"
#include "core/SiblingPrograms.h"
#include "platform/Clipboard.h"
#include "platform/WinApp.h"
#include "urlmon/FtpUrl.h"

#include <vector>

namespace {

constexpr const char* kWhiteSpace = " \t\r\n\v\f";

// Leading white space goes, the text ends at the first CR (or, without one, the first LF),
// trailing white space goes, and the first space ends the word. A tab does not end it.
std::string CutToFirstWord(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(kWhiteSpace);
    if (begin == std::string::npos) {
        return {};
    }
    std::string word = text.substr(begin);
    std::size_t end = word.find('\r');
    if (end == std::string::npos) {
        end = word.find('\n');
    }
    if (end != std::string::npos) {
        word.resize(end);
    }
    const std::size_t last = word.find_last_not_of(kWhiteSpace);
    word.resize(last == std::string::npos ? 0 : last + 1);
    const std::size_t space = word.find(' ');
    if (space != std::string::npos) {
        word.resize(space);
    }
    return word;
}

} // namespace

CUrlMonitor::CUrlMonitor(CWinApp& app, ISiblingPrograms& siblings, IClipboard& clipboard)
    : m_app(app), m_siblings(siblings), m_clipboard(clipboard) {}

CUrlMonitor::Fingerprint CUrlMonitor::FingerprintOf(const std::string& text) {
    return {text.size(), Sha256(text)};
}

void CUrlMonitor::Attach(IActivityLog* pLog) {
    m_pLog = pLog;
    m_lastText = FingerprintOf(ReadClipboard());
}

UINT CUrlMonitor::Start(HWND hWnd) {
    m_bEnabled = 1;
    std::vector<std::string> obstacles;
    if (m_app.GetProfileInt(MonitorNames::PreferencesSection, "URLMonitor", 0) == 0) {
        obstacles.emplace_back("URL Monitor: waiting for Quorvel PRO to switch it on (its "
                               "\"URLMonitor\" preference is off).");
    }
    if (!m_clipboard.WatchesInBackground()) {
        obstacles.emplace_back("URL Monitor: this desktop shows the clipboard only to the window "
                               "in front; copies are seen only while the Monitor's window is.");
    }
    if (m_pLog != nullptr && !obstacles.empty()) {
        obstacles.back() += "\r\n";
        m_pLog->AddTimeStamp();
        for (const std::string& line : obstacles) {
            m_pLog->AddLine(line.c_str(), LogColor::Green);
        }
    }
    return hWnd != nullptr ? hWnd->SetTimer(TimerId::UrlMonitor, 500) : 0;
}

BOOL CUrlMonitor::Stop(HWND hWnd) {
    m_bEnabled = 0;
    return hWnd != nullptr ? hWnd->KillTimer(TimerId::UrlMonitor) : FALSE;
}

void CUrlMonitor::SetEnabled(BOOL bEnable) {
    m_bEnabled = bEnable;
    if (m_pLog == nullptr) {
        return;
    }
    m_pLog->AddTimeStamp();
    m_pLog->AddLine(bEnable ? "URL Monitor Enabled.\r\n" : "URL Monitor Disabled.\r\n",
                    LogColor::Green);
}

std::string CUrlMonitor::GetClipboardText() {
    std::string text = m_clipboard.GetText();
    // Clipboard text ends at its first NUL, whatever the platform handed over after it.
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    return text;
}

std::string CUrlMonitor::ReadClipboard() {
    // The count is taken before the text, so that a change during the read is read next time.
    const std::int64_t changeCount = m_clipboard.GetChangeCount();
    std::string text = GetClipboardText();
    // An empty read may be a passing failure; it is tried again at the next tick.
    if (!text.empty()) {
        m_nSeenChangeCount = changeCount;
    }
    return text;
}

void CUrlMonitor::OnTimerTick() {
    // What a clipboard that was blind for a while shows once it sees again was copied unseen:
    // like the text present at start it is not new, rather than acted on late.
    if (!m_clipboard.SeesCopiesNow()) {
        m_bBlind = true;
        return;
    }
    if (m_bBlind) {
        m_bBlind = false;
        m_lastText = FingerprintOf(ReadClipboard());
    }
    if (m_bEnabled == 0) {
        return;
    }
    if (m_app.GetProfileInt(MonitorNames::PreferencesSection, "URLMonitor", 0) == 0) {
        return;
    }
    // Unchanged since the last text was read: reading again would give that text back, and
    // it was either equal to the last one or became it. Either way nothing would happen.
    const std::int64_t changeCount = m_clipboard.GetChangeCount();
    if (changeCount >= 0 && changeCount == m_nSeenChangeCount) {
        return;
    }
    const std::string text = ReadClipboard();
    if (text.empty()) {
        return;
    }
    const Fingerprint seen = FingerprintOf(text);
    if (seen == m_lastText) {
        return;
    }
    // Seen from here on, whatever follows decides: each copied text is looked at once.
    m_lastText = seen;
    if (m_clipboard.IsControlKeyDown()) {
        return;
    }
    const std::string url = CutToFirstWord(text);
    if (!IsFtpUrl(url)) {
        return;
    }
    if (m_siblings.IsClientRunning()) {
        return;
    }
    std::string error;
    const ClientLaunch launch = m_siblings.LaunchClient(nullptr, &error);
    if (launch == ClientLaunch::AlreadyRunning) {
        return; // the client came up since the look above: it sees the copy itself
    }
    const BOOL started = launch == ClientLaunch::Started;
    if (m_pLog != nullptr) {
        m_pLog->AddTimeStamp();
        m_pLog->AddLine("URL Monitor: Starting Quorvel PRO.", LogColor::Green);
        if (!started) {
            m_pLog->AddFailure(error.c_str());
        }
        m_pLog->AddLine(("URL: " + url + "\r\n").c_str(), LogColor::Black);
    }
}
