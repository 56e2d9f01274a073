// What the main window's menu commands do, whichever toolkit draws the window: one dispatch by
// id for the main menu, the tray menu, start-up and tests. Each front end's main window derives
// from it and supplies the window's own actions.
#pragma once

#include "core/Commands.h"
#include "platform/Types.h"
#include "platform/Window.h"

class CMonitorApp;
class IActivityLog;

class CFrameCommands {
public:
    explicit CFrameCommands(CMonitorApp& app) : m_app(app) {}
    virtual ~CFrameCommands() = default;
    CFrameCommands(const CFrameCommands&) = delete;
    CFrameCommands& operator=(const CFrameCommands&) = delete;

    // Carries out the command. One that opens a question, or acts on what an open question
    // asks about, is refused while a question is open; every command once the window ended.
    void OnCommand(UINT id);
    // The commands that open a window waiting for an answer, or act on what it asks about:
    // refused and greyed while one is open.
    static constexpr UINT kAskingCommands[] = {Command::Exit, Command::QueueTransfers,
                                               Command::ResumeTransfers};
    static bool Asks(UINT id);
    // "Load Monitor at startup".
    BOOL StartAtLogon();

protected:
    virtual bool IsEnded() const = 0;
    // Whether a question of the Monitor is open.
    virtual bool IsQuestionOpen() const = 0;
    virtual IActivityLog& CommandLog() = 0;
    virtual void OnClose() = 0;
    virtual void OnOpen() = 0;
    virtual void OnHide() = 0;
    virtual void OnQueueTransfers() = 0;
    virtual void ClearLog() = 0;
    virtual void CopyAllLog() = 0;
    virtual void CopyLogSelection() = 0;

    // The first half of the orderly end, the same on every front end: both monitors disabled
    // (each logs it) and their timers stopped on `window`.
    void StopMonitors(HWND window);

    CMonitorApp& m_app;

private:
    void StartClient();
    void OnToggleStartAtLogon();
};
