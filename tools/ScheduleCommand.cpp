// schedule list|add|remove: the scheduled queue transfers, through the Monitor's own store and
// schedule classes.
#include "Command.h"
#include "Json.h"
#include "app/MonitorApp.h"

#include "platform/SystemText.h"
#include "platform/Time.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace ctl {
namespace {

constexpr const char* kUsage =
    "usage: quorvel-monitorctl schedule list [--json]\n"
    "       quorvel-monitorctl schedule add QUEUE-FILE --start \"YYYY-MM-DD HH:MM\"\n"
    "                  (--once | --every N UNIT) [--end \"YYYY-MM-DD HH:MM\"] [--disabled]\n"
    "                  UNIT: minutes, hours, days, weeks or months; N from 1 to 32767\n"
    "       quorvel-monitorctl schedule remove ID-OR-QUEUE-FILE\n";

const char* const kUnitNames[] = {"minutes", "hours", "days", "weeks", "months"};

class CProfile : public CWinApp {
public:
    CProfile() { UseMonitorProfile(*this); }
};

std::string LocalText(CTime t) {
    return t.Format("%Y-%m-%d %H:%M");
}

// ISO 8601 with the local offset, "+hh:mm".
std::string IsoText(CTime t) {
    const std::string text = t.Format("%Y-%m-%dT%H:%M:%S%z");
    if (text.size() < 5) {
        return text;
    }
    const std::size_t minutes = text.size() - 2;
    return text.substr(0, minutes) + ":" + text.substr(minutes);
}

std::string JsonTime(std::optional<CTime> t) {
    if (!t) {
        return "null";
    }
    return "{\"epoch\": " + std::to_string(t->GetTime()) +
           ", \"local\": " + JsonString(IsoText(*t)) + "}";
}

std::string Words(const CSchedule& s) {
    if (s.m_bOnce) {
        return "once at " + LocalText(s.m_timeStart);
    }
    std::string unit = s.m_nUnit >= 0 && s.m_nUnit <= 4
                           ? kUnitNames[s.m_nUnit]
                           : "units of unknown code " + std::to_string(s.m_nUnit);
    std::string text =
        "every " + std::to_string(s.m_nCount) + " " + unit + " from " + LocalText(s.m_timeStart);
    if (s.m_bEndDate) {
        text += " until " + LocalText(s.m_timeEnd);
    }
    if (!s.HasValidPeriod()) {
        text += " (never runs: no valid period)";
    }
    return text;
}

// The run the schedule waits for, or nothing when it is disabled or has no run left.
std::optional<CTime> NextDue(const CSchedule& s) {
    if (s.m_bDisabled) {
        return std::nullopt;
    }
    if (s.m_bOnce) {
        return s.m_timeStart;
    }
    if (s.m_bEndDate && CTime::GetCurrentTime() > s.m_timeEnd) {
        return std::nullopt; // ended while no run was due
    }
    const std::optional<CTime> next = s.GetNextRun();
    if (!next || (s.m_bEndDate && *next > s.m_timeEnd)) {
        return std::nullopt;
    }
    return next;
}

// Why an entry the store refuses is refused.
std::string Refusal(CWinApp& app, const std::string& subkey) {
    if (!CQueueScheduleDB::IsCanonicalIdName(subkey.c_str())) {
        return "subkey name is not an entry id";
    }
    const std::string section = std::string(CQueueScheduleDB::kSection) + "\\" + subkey;
    const UINT version = app.GetProfileInt(section.c_str(), "DBVER", 0);
    if (version != 1) {
        return "DBVER is " + std::to_string(version) + ", not 1 (or not a number)";
    }
    const UINT size = app.GetProfileInt(section.c_str(), "DataSize", 0);
    if (size != SCHEDULEDATA::kSize) {
        return "DataSize is " + std::to_string(size) + ", not 32";
    }
    std::unique_ptr<BYTE[]> bytes;
    UINT count = 0;
    app.GetProfileBinary(section.c_str(), "Data", &bytes, &count);
    if (count != size) {
        return "Data holds " + std::to_string(count) + " bytes, not 32";
    }
    if (app.GetProfileString(section.c_str(), "QueueName", "").empty()) {
        return "QueueName is empty";
    }
    return "refused";
}

std::vector<std::string> SubkeyNames() {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, CQueueScheduleDB::kKeyPath, KEY_READ) != ERROR_SUCCESS) {
        return {};
    }
    return CQueueScheduleDB::ListSubkeyNames(key.Get());
}

int List(const Args& args) {
    bool json = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else {
            return Fail("schedule list: unexpected argument '" + args[i] + "'");
        }
    }
    CProfile app;
    CQueueScheduleDB db(&app);
    std::string out = json ? "[" : "";
    bool first = true;
    for (const std::string& subkey : SubkeyNames()) {
        const int id = CQueueScheduleDB::IdFromName(subkey.c_str());
        std::string queue;
        std::unique_ptr<SCHEDULEDATA> record;
        if (CQueueScheduleDB::IsCanonicalIdName(subkey.c_str())) {
            record = db.Read(id, queue);
        } else {
            queue = app.GetProfileString(
                (std::string(CQueueScheduleDB::kSection) + "\\" + subkey).c_str(), "QueueName", "");
        }
        const std::string why = record ? "" : Refusal(app, subkey);
        std::error_code ec;
        const bool exists = !queue.empty() && std::filesystem::exists(NativePath(queue), ec);
        CSchedule s;
        if (record) {
            s.LoadFromRecord(record.get());
        }
        if (json) {
            out += first ? "\n  {" : ",\n  {";
            out += "\"id\": " + std::to_string(id) + ", \"subkey\": " + JsonString(subkey) +
                   ", \"queue\": " + JsonString(queue) +
                   ", \"queueExists\": " + (exists ? "true" : "false") +
                   ", \"readable\": " + (record ? "true" : "false");
            if (!record) {
                out += ", \"reason\": " + JsonString(why) + "}";
            } else {
                out += ", \"schedule\": " + JsonString(Words(s)) +
                       ", \"once\": " + (s.m_bOnce ? "true" : "false") +
                       ", \"count\": " + std::to_string(s.m_nCount) +
                       ", \"unit\": " + std::to_string(s.m_nUnit) +
                       ", \"start\": " + JsonTime(s.m_timeStart) +
                       ", \"end\": " + (s.m_bEndDate ? JsonTime(s.m_timeEnd) : "null") +
                       ", \"disabled\": " + (s.m_bDisabled ? "true" : "false") +
                       ", \"anchor\": " + JsonTime(s.m_timeLastRun) +
                       ", \"dueNow\": " + (s.IsDue() ? "true" : "false") +
                       ", \"nextDue\": " + JsonTime(NextDue(s)) + "}";
            }
        } else {
            out +=
                std::to_string(id) + "\t" + queue + (exists ? "" : "  [queue file missing]") + "\n";
            if (!record) {
                out += "\tunreadable: " + why + "\n";
            } else {
                const auto next = NextDue(s);
                out += "\t" + Words(s) + (s.m_bDisabled ? ", disabled" : "") + "\n";
                out += "\tanchor " + LocalText(s.m_timeLastRun) +
                       (s.IsDue() ? ", due now" : ", not due") + ", next due " +
                       (next ? LocalText(*next) : std::string("none")) + "\n";
            }
        }
        first = false;
    }
    if (StoreUnreadable("schedule list")) {
        return kBadInput;
    }
    out += json ? (first ? "]\n" : "\n]\n") : "";
    std::fputs(out.c_str(), stdout);
    return kOk;
}

// "YYYY-MM-DD HH:MM" in local time, seconds 0; nothing when it does not parse, names no real
// date, or lies outside the time range of the store.
std::optional<CTime> ParseLocal(const std::string& text) {
    // Digits exactly where the pattern has them: scanf alone would take signs and spaces.
    const std::string pattern = "dddd-dd-dd dd:dd";
    if (text.size() != pattern.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) {
            return std::nullopt;
        }
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d", &y, &mo, &d, &h, &mi) != 5 || mo < 1 ||
        mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59) {
        return std::nullopt;
    }
    const CTime t(y, mo, d, h, mi, 0);
    if (t.GetTime() == -1 || t.GetDay() != d || t.GetMonth() != mo || t.GetYear() != y) {
        return std::nullopt;
    }
    return t;
}

int Add(const Args& args) {
    std::string queue;
    std::optional<std::string> start, end;
    bool once = false, every = false, disabled = false;
    long count = 1;
    int unit = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        if (a == "--start" && hasNext) {
            start = args[++i];
        } else if (a == "--end" && hasNext) {
            end = args[++i];
        } else if (a == "--once") {
            once = true;
        } else if (a == "--disabled") {
            disabled = true;
        } else if (a == "--every" && i + 2 < args.size()) {
            every = true;
            const std::string& n = args[++i];
            char* stop = nullptr;
            errno = 0;
            count = std::strtol(n.c_str(), &stop, 10);
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos ||
                *stop != '\0' || errno != 0) {
                return Fail("schedule add: the count '" + n + "' is not a number");
            }
            const std::string& u = args[++i];
            unit = -1;
            for (int k = 0; k < 5; ++k) {
                if (u == kUnitNames[k]) {
                    unit = k;
                }
            }
            if (unit < 0) {
                return Fail("schedule add: unknown unit '" + u + "'");
            }
        } else if (!a.empty() && a[0] != '-' && queue.empty()) {
            queue = a;
        } else {
            return Fail("schedule add: unexpected argument '" + a + "' (try --help)");
        }
    }
    if (queue.empty() || !start || once == every) {
        return Fail("schedule add: needs QUEUE-FILE, --start and one of --once or --every");
    }
    if (count < 1 || count > 32767) {
        return Fail("schedule add: the count must be from 1 to 32767");
    }
    if (once && end) {
        return Fail("schedule add: an end date goes with --every");
    }
    std::error_code ec;
    const std::filesystem::path native = std::filesystem::absolute(NativePath(queue), ec);
    const std::string path = Utf8Path(native);
    const auto status = std::filesystem::status(native, ec);
    if (ec || !std::filesystem::exists(status)) {
        return Fail("schedule add: the queue file '" + queue + "' does not exist");
    }
    if (!std::filesystem::is_regular_file(status)) {
        return Fail("schedule add: '" + queue + "' is not a queue file (not a regular file)");
    }
    const auto startTime = ParseLocal(*start);
    if (!startTime) {
        return Fail("schedule add: the start '" + *start + "' is not a valid YYYY-MM-DD HH:MM");
    }
    std::optional<CTime> endTime;
    if (end) {
        endTime = ParseLocal(*end);
        if (!endTime) {
            return Fail("schedule add: the end '" + *end + "' is not a valid YYYY-MM-DD HH:MM");
        }
        if (*endTime < *startTime) {
            return Fail("schedule add: the end lies before the start");
        }
    }

    CSchedule s; // a new schedule: its end pickers show the current minute unless told
    s.m_bOnce = once ? 1 : 0;
    s.m_nCount = static_cast<LONG>(count);
    s.m_nUnit = unit;
    s.m_bDisabled = disabled ? 1 : 0;
    s.m_bEndDate = endTime ? 1 : 0;
    s.m_timeStart = *startTime;
    s.m_timeLastRun = *startTime;
    if (endTime) {
        s.m_timeEnd = *endTime;
    } else {
        const CTime now = CTime::GetCurrentTime();
        s.m_timeEnd = std::max(*startTime, CTime(now.GetTime() - now.GetSecond()));
    }

    CProfile app;
    CQueueScheduleDB db(&app);
    const auto record = s.CreateRecord();
    const int id = record ? db.Write(0, record.get(), path.c_str()) : 0;
    if (id < 1) {
        return NotSaved("schedule add");
    }
    std::printf("%d\n", id);
    return kOk;
}

int Remove(const Args& args) {
    if (args.size() != 2) {
        return Fail("schedule remove: needs one ID or QUEUE-FILE");
    }
    const std::string& target = args[1];
    CProfile app;
    CQueueScheduleDB db(&app);
    int id = 0;
    if (CQueueScheduleDB::IsCanonicalIdName(target.c_str())) {
        id = CQueueScheduleDB::IdFromName(target.c_str());
        CRegKey key;
        if (key.Open(HKEY_CURRENT_USER,
                     (std::string(CQueueScheduleDB::kKeyPath) + "\\" + target).c_str(),
                     KEY_READ) != ERROR_SUCCESS) {
            id = 0;
        }
    } else {
        id = db.FindIdByName(target.c_str());
        std::error_code ec;
        const std::string absolute = Utf8Path(std::filesystem::absolute(NativePath(target), ec));
        if (id == 0 && !ec && absolute != target) {
            id = db.FindIdByName(absolute.c_str());
        }
    }
    if (id < 1) {
        std::fprintf(stderr, "quorvel-monitorctl: schedule remove: no entry '%s'\n",
                     target.c_str());
        return kFalse;
    }
    if (!db.Delete(id)) {
        return NotSaved("schedule remove");
    }
    std::printf("removed %d\n", id);
    return kOk;
}

} // namespace

int RunSchedule(const Args& args) {
    if (args.empty()) {
        return Fail("schedule: expected 'list', 'add' or 'remove' (try 'schedule --help')");
    }
    if (WantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    if (args[0] == "list") {
        return List(args);
    }
    if (args[0] == "add") {
        return Add(args);
    }
    if (args[0] == "remove") {
        return Remove(args);
    }
    return Fail("schedule: unknown subcommand '" + args[0] + "' (try --help)");
}

} // namespace ctl
