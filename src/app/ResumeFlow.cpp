// Resuming interrupted bulk transfers through the client's helper programs.
#include "app/MonitorApp.h"
#include "core/ActivityLog.h"
#include "platform/Launch.h"
#include "resume/TransferResumeDB.h"

#include <set>
#include <string>
#include <vector>

namespace {
constexpr const char* kCaption = "Quorvel PRO - Kettrin Downloads/Uploads";
constexpr const char* kQuestion = "Interrupted transfer(s) detected.\nDo you want to resume them?";
constexpr const char* kLater = "Do you want to resume interrupted transfers later?";
constexpr DWORD kQuestionTimeoutMs = 10000;
} // namespace

BOOL CMonitorApp::CanResumeTransfers() {
    // The running download helper owns the entries; counting would also clean them up.
    if (IsDownloadHelperRunning()) {
        return FALSE;
    }
    CTransferResumeDB db(this);
    return db.CountValid() > 0 ? TRUE : FALSE;
}

void CMonitorApp::ResumeTransfer(int id) {
    if (id < 1) {
        return;
    }
    CTransferResumeDB db(this);
    const std::unique_ptr<TRANSFERDATA> data = db.Read(id);
    if (data == nullptr) {
        return;
    }
    // The entry stays either way: the helper removes it once the transfer is done, and one
    // that could not be started is offered again.
    std::string error;
    bool started = RefreshClientFolder(error);
    if (started) {
        const RESUMETARGET target = GetResumeTarget(m_strClientFolder, id, *data);
        started = m_shell.Open(target.file, target.parameters.c_str(), &error);
    }
    if (!started && m_pMainWnd != nullptr) {
        const std::string line =
            "Could not resume transfer " + std::to_string(id) + ": " + error + ".";
        m_pMainWnd->GetLog().AddFailure(line.c_str());
    }
}

void CMonitorApp::ResumeTransfers(BOOL bAsk) {
    if (bAsk) {
        // Nothing lost, nothing reported done that was not: an answer deletes only what the
        // question was about, never an entry recorded while the user was still being asked.
        std::vector<std::string> asked;
        for (const TRANSFERSUBKEY& entry : CTransferResumeDB(this).ListEntries()) {
            asked.push_back(entry.strName);
        }
        const int answer =
            m_desktop.TimedChoice(kCaption, kQuestion, kQuestionTimeoutMs, 1, "Yes", "No");
        if (answer == IDCANCEL) {
            const int later = m_desktop.MessageBox(kLater, kCaption, MB_YESNO | MB_ICONQUESTION);
            // Only an explicit No forgets. A box put aside with Escape or its close box, or
            // ended because the Monitor is ending, keeps every entry for the next time. The
            // download helper may also have started while the user was being asked; its
            // entries are then not ours to forget.
            if (later == IDNO && !IsDownloadHelperRunning()) {
                CTransferResumeDB db(this);
                db.DeleteAll(&asked);
            }
            return;
        }
        // A question ended because the Monitor is ending is no Yes: nothing is started and
        // nothing more is asked.
        if (answer != IDOK) {
            return;
        }
        // Likewise: a second download helper must not be started beside a running one.
        if (IsDownloadHelperRunning()) {
            return;
        }
    }

    std::vector<TRANSFERSUBKEY> entries;
    {
        CTransferResumeDB db(this);
        entries = db.ListEntries();
    }
    if (entries.empty()) {
        return;
    }
    IActivityLog* log = m_pMainWnd != nullptr ? &m_pMainWnd->GetLog() : nullptr;
    if (log != nullptr) {
        log->AddTimeStamp();
        log->AddLine("Resuming interrupted transfers.\r\n", LogColor::Green);
    }
    // Only subkeys named by a plain id are resumed, so no transfer gets two helpers. An entry
    // that cannot be resumed stays, and the log names it so that it can be looked into.
    for (std::size_t i = entries.size(); i-- > 0;) {
        const TRANSFERSUBKEY& entry = entries[i];
        if (entry.strRefusal.empty()) {
            ResumeTransfer(entry.nId);
        } else if (log != nullptr) {
            const std::string line =
                "Skipped interrupted transfer \"" + entry.strName + "\": " + entry.strRefusal + ".";
            log->AddLine(line.c_str(), LogColor::Maroon);
        }
    }
}
