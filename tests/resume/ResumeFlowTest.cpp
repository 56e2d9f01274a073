#include "ResumeEntries.h"
#include "app/MonitorApp.h"
#include "support/Fakes.h"
#include "support/PrivateEnvTest.h"

using namespace resume_test;

namespace {

using Names = std::vector<std::string>;

const std::string kTimedQuestion = "timed:Quorvel PRO - Kettrin Downloads/Uploads|"
                                   "Interrupted transfer(s) detected.\nDo you want to resume "
                                   "them?|10000|1|Yes|No";
const std::string kLaterQuestion = "box:Do you want to resume interrupted transfers later?|"
                                   "Quorvel PRO - Kettrin Downloads/Uploads|36";

// A desktop on which the download helper starts while the question is open.
class CHelperStartsDesktop : public CFakeDesktop {
public:
    int TimedChoice(const char* caption, const char* message, DWORD timeoutMs, int defaultButton,
                    const char* okText, const char* cancelText) override {
        helper = CHandle(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::DownloadHelperEvent));
        return CFakeDesktop::TimedChoice(caption, message, timeoutMs, defaultButton, okText,
                                         cancelText);
    }
    CHandle helper;
};

class ResumeFlowTest : public PrivateEnvTest {
protected:
    ResumeFlowTest() {
        SetClientFolder("/opt/client");
        SetUrlMonitorSwitch(1);
    }

    std::vector<std::string> Started() const {
        std::vector<std::string> started;
        for (const auto& start : shell.starts) {
            started.push_back(start.file + " " + start.parameters);
        }
        return started;
    }

    CFakeDesktop desktop;
    CFakeClipboard clipboard;
    CFakeShell shell;
};

TEST_F(ResumeFlowTest, StartUpAsksThenResumesFromTheLastIdToTheFirst) {
    WriteEntry(3, 1);
    WriteEntry(7, 0);
    WriteEntry(12, 5);
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(desktop.questions, Names{kTimedQuestion});
    // The list comes in enumeration order 12, 3, 7.
    EXPECT_EQ(Started(),
              (Names{"/opt/client/KettrinUL.exe fdb://7", "/opt/client/KettrinDL.exe fdb://3",
                     "/opt/client/KettrinDL.exe fdb://12"}));
    ASSERT_EQ(desktop.frame.log.lines.size(), 2u);
    EXPECT_EQ(desktop.frame.log.lines[0].text, "<timestamp>");
    EXPECT_EQ(desktop.frame.log.lines[1].text, "Resuming interrupted transfers.\r\n");
    EXPECT_EQ(desktop.frame.log.lines[1].color, LogColor::Green);
    // The helpers, not the Monitor, remove what they have resumed.
    EXPECT_EQ(EntryNames(), (Names{"12", "3", "7"}));
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, NoThenNoForgetsTheEntriesAskedAboutWithoutStartingOrLogging) {
    WriteEntry(3, 1);
    WriteEntry("4", Entry{2, 799, Record(1, 799)});
    // A transfer interrupted while the second question is open was never asked about.
    struct CLateEntryDesktop : CFakeDesktop {
        int MessageBox(const char* text, const char* caption, UINT type) override {
            WriteEntry(9, 1);
            return CFakeDesktop::MessageBox(text, caption, type);
        }
    } late;
    late.timedChoiceAnswers = {IDCANCEL};
    late.messageBoxAnswers = {IDNO};
    CMonitorApp app(late, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(late.questions, (Names{kTimedQuestion, kLaterQuestion}));
    EXPECT_TRUE(shell.starts.empty());
    EXPECT_TRUE(late.frame.log.lines.empty());
    EXPECT_EQ(EntryNames(), Names{"9"});
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, OnlyAnExplicitNoForgetsAndAQuestionWithoutAnswerStartsNothing) {
    WriteEntry(3, 1);
    struct Case {
        const char* what;
        int timed;
        int later;
        Names asked;
    };
    // IDNOANSWER: the box was put aside with Escape or its close box, or either question was
    // ended because the Monitor is ending; then nothing more is asked.
    const std::vector<Case> cases = {
        {"No, then Yes", IDCANCEL, IDYES, {kTimedQuestion, kLaterQuestion}},
        {"No, then put aside", IDCANCEL, IDNOANSWER, {kTimedQuestion, kLaterQuestion}},
        {"ended", IDNOANSWER, IDNO, {kTimedQuestion}},
    };
    for (const Case& c : cases) {
        CFakeDesktop asked;
        asked.timedChoiceAnswers = {c.timed};
        asked.messageBoxAnswers = {c.later};
        CMonitorApp app(asked, clipboard, shell);
        ASSERT_TRUE(app.InitInstance(""));
        EXPECT_EQ(asked.questions, c.asked) << c.what;
        EXPECT_TRUE(asked.frame.log.lines.empty()) << c.what;
        app.ExitInstance();
    }
    EXPECT_TRUE(shell.starts.empty());
    EXPECT_EQ(EntryNames(), Names{"3"});

    CFakeDesktop next;
    CMonitorApp app(next, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(next.questions, Names{kTimedQuestion});
    EXPECT_EQ(Started(), Names{"/opt/client/KettrinDL.exe fdb://3"});
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, TheCommandResumesWithoutAsking) {
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_TRUE(desktop.questions.empty()); // nothing to resume at start-up
    EXPECT_FALSE(app.CanResumeTransfers());
    WriteEntry(5, 0);
    ASSERT_TRUE(app.CanResumeTransfers());
    app.ResumeTransfers(FALSE);
    EXPECT_TRUE(desktop.questions.empty());
    EXPECT_EQ(Started(), Names{"/opt/client/KettrinUL.exe fdb://5"});
    EXPECT_EQ(desktop.frame.log.Texts(),
              (Names{"<timestamp>", "Resuming interrupted transfers.\r\n"}));
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, ARunningDownloadHelperBlocksCountingCleaningAndAsking) {
    WriteEntry("1", Entry{1, 800, Record(1)});
    WriteEntry(2, 1);
    CHandle helper(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::DownloadHelperEvent));
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_FALSE(app.CanResumeTransfers());
    EXPECT_TRUE(desktop.questions.empty());
    EXPECT_TRUE(shell.starts.empty());
    EXPECT_EQ(EntryNames(), (Names{"1", "2"}));
    helper.Close();
    EXPECT_TRUE(app.CanResumeTransfers());
    EXPECT_EQ(EntryNames(), Names{"2"});
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, OnlyOldVersionsAreCleanedAwayAndNothingIsAsked) {
    WriteEntry("1", Entry{1, 800, Record(1)});
    WriteEntry("2", Entry{1, 800, Record(0)});
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_TRUE(desktop.questions.empty());
    EXPECT_TRUE(EntryNames().empty());
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, UnreadableEntriesAreSkippedStayAndAreNamedInTheLog) {
    WriteEntry("0", Entry{});
    WriteEntry("4", Entry{2, 800, Record(1, 799)});
    WriteEntry("abc", Entry{});
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(desktop.questions, Names{kTimedQuestion});
    EXPECT_TRUE(shell.starts.empty());
    EXPECT_EQ(desktop.frame.log.Texts(),
              (Names{"<timestamp>", "Resuming interrupted transfers.\r\n",
                     "Skipped interrupted transfer \"abc\": its name is not an entry id.",
                     "Skipped interrupted transfer \"4\": Data holds 799 bytes, not 800.",
                     "Skipped interrupted transfer \"0\": its name is not an entry id."}));
    EXPECT_EQ(desktop.frame.log.lines.back().color, LogColor::Maroon);
    EXPECT_EQ(EntryNames(), (Names{"0", "4", "abc"}));
    app.ResumeTransfer(0);
    app.ResumeTransfer(-1);
    EXPECT_TRUE(shell.starts.empty());
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, NamesThatShareAnIdStartItsHelperOnce) {
    WriteEntry(12, 1);
    WriteEntry("12x", Entry{});
    WriteEntry("012", Entry{});
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(Started(), Names{"/opt/client/KettrinDL.exe fdb://12"});
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, AHelperThatCannotStartLeavesItsEntry) {
    WriteEntry(8, 1);
    shell.succeed = false;
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(Started(), Names{"/opt/client/KettrinDL.exe fdb://8"});
    EXPECT_EQ(EntryNames(), Names{"8"});
    EXPECT_TRUE(app.CanResumeTransfers());
    app.ExitInstance();
}

TEST_F(ResumeFlowTest, TheDownloadHelperStartingDuringTheQuestionStopsTheFlow) {
    WriteEntry(3, 1);
    WriteEntry(4, 0);
    {
        CHelperStartsDesktop asked; // answers Yes by its countdown
        CMonitorApp app(asked, clipboard, shell);
        ASSERT_TRUE(app.InitInstance(""));
        EXPECT_EQ(asked.questions, Names{kTimedQuestion});
        EXPECT_TRUE(asked.frame.log.lines.empty());
        app.ExitInstance();
    }
    EXPECT_TRUE(shell.starts.empty());
    {
        CHelperStartsDesktop asked;
        asked.timedChoiceAnswers = {IDCANCEL};
        asked.messageBoxAnswers = {IDNO};
        CMonitorApp app(asked, clipboard, shell);
        ASSERT_TRUE(app.InitInstance(""));
        EXPECT_EQ(asked.questions, (Names{kTimedQuestion, kLaterQuestion}));
        app.ExitInstance();
    }
    EXPECT_EQ(EntryNames(), (Names{"3", "4"}));
}

} // namespace
