// What a scheduler pass loses when its process is killed with SIGKILL at a random moment, and
// what a pass hands over when the client comes up in the middle of it. A child process runs
// one pass over due once-only queues and starts a client stand-in for each through the real
// launcher; the stand-in appends the queue's name to a file. After each kill a
// fresh engine reports what the dead one left unfinished, and every queue is counted as
// started, still due, reported at the restart, or lost silently.
//   bench_scheduler_handover_kills [KILLS [QUEUES]]
#include "app/MonitorApp.h"
#include "core/ActivityLog.h"
#include "core/SiblingPrograms.h"
#include "platform/Launch.h"
#include "platform/WinApp.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/Schedule.h"
#include "scheduler/TransferScheduler.h"
#include "support/TestEnv.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class CProfile : public CWinApp {
public:
    CProfile() { UseMonitorProfile(*this); }
};

// Starts a client stand-in through the real launcher; the stand-in appends its argument to
// the record, so a start counts even when the pass is killed right after it.
class CRecordingClient : public ISiblingPrograms {
public:
    CRecordingClient(std::string client, int runningAfter)
        : m_client(std::move(client)), m_runningAfter(runningAfter) {}
    BOOL IsClientRunning() override {
        return m_runningAfter >= 0 && m_starts >= m_runningAfter ? TRUE : FALSE;
    }
    BOOL IsDownloadHelperRunning() override { return FALSE; }
    ClientLaunch LaunchClient(const char* parameters, std::string* error) override {
        if (IsClientRunning()) {
            return ClientLaunch::AlreadyRunning;
        }
        ++m_starts;
        return SystemShell().Open(m_client, parameters, error) ? ClientLaunch::Started
                                                               : ClientLaunch::Failed;
    }

private:
    std::string m_client;
    int m_runningAfter;
    int m_starts = 0;
};

class CCollectingLog : public IActivityLog {
public:
    void AddTimeStamp() override {}
    void AddLine(const char* text, COLORREF) override {
        text_ += text;
        text_ += '\n';
    }
    std::string text_;
};

std::vector<std::string> StoreDueQueues(const TestEnv& env, int count) {
    CProfile app;
    CQueueScheduleDB db(&app);
    std::vector<std::string> names;
    CSchedule once;
    once.m_timeStart = once.m_timeLastRun = once.m_timeEnd =
        CTime(static_cast<std::int32_t>(CTime::GetCurrentTime().GetTime() - 60));
    for (int id = 1; id <= count; ++id) {
        std::string file = std::to_string(id);
        file += ".ftq";
        names.push_back(env.WriteFile(file, "queue"));
        db.Write(id, once.CreateRecord().get(), names.back().c_str());
    }
    return names;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Outcome {
    int started = 0, due = 0, reported = 0, lost = 0;
};

// Counts each queue once: started, else still stored, else reported, else lost.
Outcome Count(const std::vector<std::string>& names, const std::string& starts,
              const std::string& reports) {
    CProfile app;
    CQueueScheduleDB db(&app);
    Outcome o;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string stored;
        std::string start = "ftq://";
        start += names[i];
        start += '\n';
        std::string report = names[i];
        report += '\n';
        if (starts.find(start) != std::string::npos) {
            ++o.started;
        } else if (db.Read(static_cast<int>(i + 1), stored) != nullptr) {
            ++o.due;
        } else if (reports.find(report) != std::string::npos) {
            ++o.reported;
        } else {
            ++o.lost;
        }
    }
    return o;
}

// One pass in a child process, killed after `killAfterUs` (never, when negative).
void PassInChild(const std::string& client, int runningAfter, long killAfterUs) {
    const pid_t pid = fork();
    if (pid == 0) {
        CProfile app;
        CRecordingClient siblings(client, runningAfter);
        CTransferScheduler scheduler(app, siblings);
        scheduler.Start(nullptr);
        scheduler.OnTimerTick();
        _exit(0);
    }
    if (killAfterUs >= 0) {
        usleep(static_cast<useconds_t>(killAfterUs));
        kill(pid, SIGKILL);
    }
    waitpid(pid, nullptr, 0);
    usleep(300000); // the last stand-ins started write their records
}

// The client stand-in of a world, recording into <root>/starts.
std::string Client(const TestEnv& env) {
    return env.WriteScript("client", "printf '%s\\n' \"$1\" >> '" + env.Root() + "/starts'\n");
}

} // namespace

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::atoi(argv[1]) : 50;
    const int queues = argc > 2 ? std::atoi(argv[2]) : 200;

    // How long a whole pass takes here, to spread the kills over it.
    long passUs = 0;
    {
        TestEnv env;
        const auto names = StoreDueQueues(env, queues);
        const auto begin = std::chrono::steady_clock::now();
        PassInChild(Client(env), -1, -1);
        passUs = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - begin)
                                       .count());
        const Outcome o = Count(names, ReadAll(env.Root() + "/starts"), "");
        std::printf("whole pass: %d queues in %.2f s, %d started, %d lost\n", queues, passUs / 1e6,
                    o.started, o.lost);
    }

    std::mt19937 random(20);
    Outcome total;
    int killsLosing = 0;
    for (int k = 0; k < kills; ++k) {
        TestEnv env;
        const auto names = StoreDueQueues(env, queues);
        PassInChild(Client(env), -1, std::uniform_int_distribution<long>(0, passUs)(random));
        CProfile app;
        CRecordingClient client("/nonexistent", -1);
        CCollectingLog log;
        CTransferScheduler restarted(app, client);
        restarted.Attach(&log);
        restarted.ReportUnfinishedHandovers();
        const Outcome o = Count(names, ReadAll(env.Root() + "/starts"), log.text_);
        total.started += o.started;
        total.due += o.due;
        total.reported += o.reported;
        total.lost += o.lost;
        killsLosing += o.lost > 0;
    }
    std::printf("%d kills: %d started, %d still due, %d reported at restart, %d lost silently "
                "(%d kills lost a run)\n",
                kills, total.started, total.due, total.reported, total.lost, killsLosing);

    // The client taking its instance event after the first start of a pass.
    {
        TestEnv env;
        const auto names = StoreDueQueues(env, 20);
        PassInChild(Client(env), 1, -1);
        const Outcome o = Count(names, ReadAll(env.Root() + "/starts"), "");
        std::printf("client up after the first start: 20 due, %d handed over, %d kept due, %d "
                    "lost\n",
                    o.started, o.due, o.lost);
    }
    return 0;
}
