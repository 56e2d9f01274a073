#include "core/LogRules.h"

#include "app/MonitorApp.h"
#include "platform/Time.h"

#include <algorithm>

namespace LogRules {

namespace {
constexpr COLORREF kDefaultPanelBackground = 0xE4E4E4;
} // namespace

int ProfileMaxLines(CWinApp& app) {
    const int lines =
        static_cast<int>(app.GetProfileInt(MonitorNames::PreferencesSection, "LogMaxLines", 0));
    return lines > 0 ? lines : kDefaultMaxLines;
}

std::optional<COLORREF> ProfileBackground(CWinApp& app) {
    if (app.GetProfileInt(MonitorNames::ColorsSection, "WinDef", 1) != 0) {
        return std::nullopt;
    }
    const COLORREF color =
        app.GetProfileInt(MonitorNames::ColorsSection, "RPanelBG", kDefaultPanelBackground);
    // A colour is 0x00BBGGRR; anything with the high byte set (a negative number included)
    // is not one, and the grey the client itself would use is the sensible reading.
    return (color & 0xFF000000u) != 0 ? kDefaultPanelBackground : color;
}

std::string LineText(const char* text) {
    std::string line = "  ";
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        if (*p == '\r') {
            line += '\n';
            if (p[1] == '\n') {
                ++p;
            }
        } else {
            line += *p;
        }
    }
    line += '\n';
    return line;
}

std::string TimeStampText() {
    return CTime::GetCurrentTime().Format("%I:%M%p %B %d, %Y");
}

} // namespace LogRules

int CLogEntries::Added(int lines, bool startsEntry, int kept) {
    if (startsEntry || m_entryLines.empty()) {
        m_entryLines.push_back(lines);
    } else {
        m_entryLines.back() += lines;
    }
    if (kept <= m_nMaxLines) {
        return 0;
    }
    int drop = 0;
    while (m_entryLines.size() > 1 && kept - drop > m_nMaxLines) {
        drop += m_entryLines.front();
        m_entryLines.pop_front();
    }
    if (kept - drop > m_nMaxLines) {
        const int cut = kept - drop - m_nMaxLines;
        m_entryLines.front() -= cut;
        drop += cut;
    }
    return drop;
}
