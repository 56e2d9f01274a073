// What the activity log does independently of the control that draws it: the text of a line,
// the profile's background and line limit, and which whole entries go once the limit is
// passed. Both front ends' log controls follow these.
#pragma once

#include "platform/Types.h"

#include <deque>
#include <optional>
#include <string>

class CWinApp;

namespace LogRules {

// About 630 bytes a line: some 13 MB at most.
constexpr int kDefaultMaxLines = 20000;

// The most lines the log keeps: "LogMaxLines" when it is positive, else the default.
int ProfileMaxLines(CWinApp& app);
// The background "WinDef"/"RPanelBG" ask for; none when the system's window colour applies.
std::optional<COLORREF> ProfileBackground(CWinApp& app);
// The shown text of an appended line: two spaces, the text literally with every CR LF or lone
// CR made a "\n", and a closing "\n".
std::string LineText(const char* text);
// The text of a time stamp line for the current local time.
std::string TimeStampText();

} // namespace LogRules

// The number of lines of each entry kept, oldest first; lines before any time stamp form an
// entry of their own.
class CLogEntries {
public:
    explicit CLogEntries(int maxLines = LogRules::kDefaultMaxLines) : m_nMaxLines(maxLines) {}
    void SetMaxLines(int maxLines) { m_nMaxLines = maxLines; }
    // Notes `lines` lines appended (the first of a new entry when `startsEntry`) to a log that
    // now holds `kept` lines; the number of lines to drop from its top: the oldest whole
    // entries, and of an entry longer than the limit by itself its oldest lines.
    int Added(int lines, bool startsEntry, int kept);
    void Clear() { m_entryLines.clear(); }

private:
    int m_nMaxLines;
    std::deque<int> m_entryLines;
};
