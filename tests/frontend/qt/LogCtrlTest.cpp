#include "GuiTest.h"
#include "app/MonitorApp.h"
#include "frontend/qt/LogMirror.h"
#include "frontend/qt/platform/QtColor.h"
#include "platform/Clock.h"
#include "platform/Contrast.h"
#include "platform/Time.h"
#include "platform/registry/Registry.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace {

class LogCtrlTest : public GuiTest {
protected:
    LogCtrlTest() { UseMonitorProfile(profile); }
    void SetColor(const char* name, int value) {
        profile.WriteProfileInt(MonitorNames::ColorsSection, name, value);
    }
    std::string Plain() const { return log.toPlainText().toStdString(); }

    CWinApp profile;
    CLogCtrl log;
};

TEST_F(LogCtrlTest, LinesAreIndentedLiteralAndEndTheirOwnLine) {
    log.OnCreate(profile);
    log.AddLine("", LogColor::Black);
    log.AddLine("100% %s %d %n %%", LogColor::Green);
    log.AddLine("Entry end.\r\n", LogColor::Navy);
    log.AddLine("no line end", LogColor::Maroon);
    log.AddLine("tab\there", LogColor::Black);
    EXPECT_EQ(Plain(), "  \n  100% %s %d %n %%\n  Entry end.\n\n  no line end\n  tab\there\n");
    const std::vector<LogLine> expected = {
        {"  ", LogColor::Black},
        {"  100% %s %d %n %%", LogColor::Green},
        {"  Entry end.", LogColor::Navy},
        {"", -2},
        {"  no line end", LogColor::Maroon},
        {"  tab\there", LogColor::Black},
    };
    EXPECT_EQ(LogLines(log), expected);
}

TEST_F(LogCtrlTest, EachLineTakesItsOwnColourAndLeavesEarlierTextAlone) {
    log.OnCreate(profile);
    log.AddLine("first", 0x123456);
    log.AddLine("second", 0x00FF00);
    log.AddLine("third", 0x0000FF);
    const std::vector<LogLine> expected = {
        {"  first", 0x123456}, {"  second", 0x00FF00}, {"  third", 0x0000FF}};
    EXPECT_EQ(LogLines(log), expected);
    // Neither bold nor underlined, whatever the colour.
    QTextCursor cursor(log.document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::PreviousCharacter);
    EXPECT_FALSE(cursor.charFormat().font().bold());
    EXPECT_FALSE(cursor.charFormat().fontUnderline());
}

TEST_F(LogCtrlTest, ClearCopyAllAndAppendingOverASelection) {
    log.OnCreate(profile);
    log.AddLine("one", LogColor::Green);
    log.AddLine("two\r\n", LogColor::Black);

    // The user selected part of the text: an append still goes to the end, drops the
    // selection and leaves the caret at the end.
    QTextCursor selection(log.document());
    selection.setPosition(2);
    selection.setPosition(5, QTextCursor::KeepAnchor);
    log.setTextCursor(selection);
    log.AddLine("three", LogColor::Navy);
    EXPECT_EQ(Plain(), "  one\n  two\n\n  three\n");
    EXPECT_FALSE(log.textCursor().hasSelection());
    EXPECT_TRUE(log.textCursor().atEnd());

    log.setTextCursor(selection);
    log.CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "one");

    log.setTextCursor(selection);
    log.CopyAll();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), Plain());
    EXPECT_FALSE(log.textCursor().hasSelection());
    EXPECT_TRUE(log.textCursor().atEnd());

    log.Clear();
    EXPECT_EQ(Plain(), "");
    log.AddLine("fresh", 0x0000FF);
    EXPECT_EQ(Plain(), "  fresh\n");
    EXPECT_EQ(LogLines(log), (std::vector<LogLine>{{"  fresh", 0x0000FF}}));
}

TEST_F(LogCtrlTest, KeepsOnlyTheNewestWholeEntriesWithinItsLineLimit) {
    EXPECT_EQ(CLogCtrl::ProfileMaxLines(profile), CLogCtrl::kDefaultMaxLines);
    profile.WriteProfileInt(MonitorNames::PreferencesSection, "LogMaxLines", -5);
    EXPECT_EQ(CLogCtrl::ProfileMaxLines(profile), CLogCtrl::kDefaultMaxLines);
    profile.WriteProfileInt(MonitorNames::PreferencesSection, "LogMaxLines", 6);
    CFakeClock clock(CTime(2026, 6, 2, 9, 5, 0).GetTime());
    ScopedClock scoped(clock);
    log.OnCreate(profile);
    const std::string stamp = "  09:05AM June 02, 2026\n";

    log.AddLine("before any entry", LogColor::Black);
    log.AddTimeStamp();
    log.AddLine("a", LogColor::Green);
    log.AddLine("b\r\n", LogColor::Black);
    EXPECT_EQ(Plain(), "  before any entry\n" + stamp + "  a\n  b\n\n");
    // Seven lines: the oldest entry (the line before any timestamp) goes alone.
    log.AddTimeStamp();
    log.AddLine("c", LogColor::Maroon);
    EXPECT_EQ(Plain(), stamp + "  a\n  b\n\n" + stamp + "  c\n");
    // An entry goes whole, never leaving lines without their timestamp.
    log.AddTimeStamp();
    EXPECT_EQ(Plain(), stamp + "  c\n" + stamp);
    log.AddLine("d", LogColor::Green);
    const std::vector<LogLine> kept = {{stamp.substr(0, stamp.size() - 1), LogColor::Navy},
                                       {"  c", LogColor::Maroon},
                                       {stamp.substr(0, stamp.size() - 1), LogColor::Navy},
                                       {"  d", LogColor::Green}};
    EXPECT_EQ(LogLines(log), kept);

    log.CopyAll();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), Plain());
    // An entry longer than the limit by itself keeps its newest lines.
    log.AddTimeStamp();
    log.AddLine("1\n2\n3\n4\n5\n6", LogColor::Black);
    EXPECT_EQ(Plain(), "  1\n2\n3\n4\n5\n6\n");
    log.AddTimeStamp();
    EXPECT_EQ(Plain(), stamp);

    // After a clear the entries are counted afresh.
    log.AddLine("k", LogColor::Black);
    log.AddTimeStamp();
    log.Clear();
    for (const char* text : {"e", "f", "g", "h", "i"}) {
        log.AddLine(text, LogColor::Black);
    }
    log.AddTimeStamp();
    EXPECT_EQ(Plain(), "  e\n  f\n  g\n  h\n  i\n" + stamp);
    log.AddLine("j", LogColor::Black);
    EXPECT_EQ(Plain(), stamp + "  j\n");
}

TEST_F(LogCtrlTest, ReadOnlyForTheUserButNotForTheProgram) {
    log.OnCreate(profile);
    log.AddLine("kept", LogColor::Black);
    log.show();
    log.setFocus();
    QTest::keyClicks(&log, "typed");
    QTest::keyClick(&log, Qt::Key_Backspace);
    EXPECT_EQ(Plain(), "  kept\n");

    // The keyboard alone selects and copies.
    log.AddLine("more", LogColor::Green);
    QTest::keyClick(&log, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&log, Qt::Key_Right);
    QTest::keyClick(&log, Qt::Key_Right);
    QTest::keyClick(&log, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&log, Qt::Key_End, Qt::ShiftModifier);
    log.CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "kept\n  more");
    QTest::keyClick(&log, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(log.textCursor().atEnd());
    EXPECT_FALSE(log.textCursor().hasSelection());
    EXPECT_EQ(Plain(), "  kept\n  more\n");
    log.Clear();
    EXPECT_EQ(Plain(), "");
}

TEST_F(LogCtrlTest, BadTextIsShownWithoutHarm) {
    log.OnCreate(profile);
    log.AddLine("bad \xC3\x28 \xFF end", LogColor::Black);
    log.AddLine("ctl \x01\x1B[31m\x7F", LogColor::Black);
    log.AddLine("cr\ronly", LogColor::Black);
    log.AddLine(nullptr, LogColor::Black);
    const std::string huge(100000, 'x');
    log.AddLine(huge.c_str(), LogColor::Black);
    const std::vector<LogLine> lines = LogLines(log);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].text, "  bad \xEF\xBF\xBD( \xEF\xBF\xBD end");
    EXPECT_EQ(lines[1].text, "  ctl \x01\x1B[31m\x7F");
    EXPECT_EQ(lines[2].text, "  cr");
    EXPECT_EQ(lines[3].text, "only");
    EXPECT_EQ(lines[4].text, "  ");
    EXPECT_EQ(lines[5].text.size(), huge.size() + 2);
}

TEST_F(LogCtrlTest, NothingIsAppendedBeforeTheControlIsSetUp) {
    log.AddLine("too early", LogColor::Black);
    log.AddTimeStamp();
    EXPECT_EQ(Plain(), "");
}

TEST_F(LogCtrlTest, TimeStampIsANavyLineOfTheCurrentLocalTime) {
    CFakeClock clock(CTime(2026, 6, 2, 9, 5, 0).GetTime());
    ScopedClock scoped(clock);
    log.OnCreate(profile);
    log.AddTimeStamp();
    clock.SetNow(CTime(2026, 12, 24, 21, 30, 0).GetTime());
    log.AddTimeStamp();
    const std::vector<LogLine> expected = {{"  09:05AM June 02, 2026", LogColor::Navy},
                                           {"  09:30PM December 24, 2026", LogColor::Navy}};
    EXPECT_EQ(LogLines(log), expected);
}

TEST_F(LogCtrlTest, LookNoWrapEightPointsAndSelectionVisibleWithoutFocus) {
    log.OnCreate(profile);
    EXPECT_TRUE(log.isReadOnly());
    EXPECT_EQ(log.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(log.document()->defaultFont().pointSize(), 8);
    const QPalette pal = log.palette();
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::Highlight),
              pal.color(QPalette::Active, QPalette::Highlight));
    // A long line scrolls sideways instead of wrapping.
    log.resize(200, 100);
    log.show();
    log.AddLine(std::string(500, 'w').c_str(), LogColor::Black);
    QApplication::processEvents();
    EXPECT_GT(log.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(log.document()->blockCount(), 2);
    // The newest line is in view, also after lines added while hidden in the tray.
    const auto newestInView = [this](bool hidden) {
        log.setVisible(!hidden);
        for (int i = 0; i < 30; ++i) {
            log.AddLine(std::to_string(i).c_str(), LogColor::Black);
        }
        log.show();
        QApplication::processEvents();
        const QScrollBar* down = log.verticalScrollBar();
        return down->maximum() > 0 && down->value() == down->maximum() &&
               log.horizontalScrollBar()->value() == 0;
    };
    EXPECT_TRUE(newestInView(false));
    log.verticalScrollBar()->setValue(0);
    EXPECT_TRUE(newestInView(true));
}

TEST_F(LogCtrlTest, BackgroundComesFromTheProfileOnceAtCreation) {
    const QColor system = QPlainTextEdit().palette().color(QPalette::Base);
    // "WinDef" absent: the system colour.
    EXPECT_FALSE(CLogCtrl::ProfileBackground(profile).isValid());
    log.OnCreate(profile);
    EXPECT_EQ(log.palette().color(QPalette::Base), system);

    SetColor("WinDef", 0);
    EXPECT_EQ(CLogCtrl::ProfileBackground(profile), QColor(0xE4, 0xE4, 0xE4));
    SetColor("RPanelBG", 0x00112233);
    EXPECT_EQ(CLogCtrl::ProfileBackground(profile), QColor(0x33, 0x22, 0x11));
    CLogCtrl coloured;
    coloured.OnCreate(profile);
    EXPECT_EQ(coloured.palette().color(QPalette::Base), QColor(0x33, 0x22, 0x11));
    // Read once: a later change does not reach an existing log.
    SetColor("RPanelBG", 0x00445566);
    EXPECT_EQ(coloured.palette().color(QPalette::Base), QColor(0x33, 0x22, 0x11));

    SetColor("RPanelBG", -1);
    EXPECT_EQ(CLogCtrl::ProfileBackground(profile), QColor(0xE4, 0xE4, 0xE4));
    profile.WriteProfileString(MonitorNames::ColorsSection, "RPanelBG", "red");
    EXPECT_EQ(CLogCtrl::ProfileBackground(profile), QColor(0xE4, 0xE4, 0xE4));
    SetColor("WinDef", 1);
    EXPECT_FALSE(CLogCtrl::ProfileBackground(profile).isValid());
}

TEST_F(LogCtrlTest, EveryColourIsDrawnReadableOnLightDarkAndMidGreyBackgrounds) {
    const COLORREF palette[] = {LogColor::Navy, LogColor::Green, LogColor::Black, LogColor::Maroon,
                                0xB40000};
    for (const COLORREF back : {0xFFFFFFu, 0x2D2D2Du, 0x808080u}) {
        for (const COLORREF given : palette) {
            SCOPED_TRACE(std::to_string(back) + " " + std::to_string(given));
            const QColor before = ToQColor(given);
            const QColor after = ToQColor(ReadableTextColor(given, back));
            if (back == 0xFFFFFF || ContrastRatio(given, back) >= kMinimumTextContrast) {
                EXPECT_EQ(after, before);
                continue;
            }
            // Of the same hue, readable, and the nearest such shade: a step back towards the
            // given colour no longer reads.
            EXPECT_GE(ContrastRatio(FromQColor(after), back), kMinimumTextContrast);
            EXPECT_NEAR(after.hslHueF(), before.hslHueF(), 0.01);
            EXPECT_NEAR(after.hslSaturationF(), before.hslSaturationF(), 0.02);
            const double step = after.lightnessF() < before.lightnessF() ? 2.0 / 255 : -2.0 / 255;
            const QColor closer = QColor::fromHslF(after.hslHueF(), after.hslSaturationF(),
                                                   after.lightnessF() + step);
            EXPECT_LT(ContrastRatio(FromQColor(closer), back), kMinimumTextContrast);
        }
    }
    // The ratio itself, against published figures: black on white, and #777 on white just short.
    EXPECT_NEAR(ContrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(0x777777, 0xFFFFFF), 4.478, 0.001);
    // On mid-grey nothing lighter reaches the ratio: darker.
    EXPECT_EQ(ReadableTextColor(LogColor::Navy, 0x808080), 0x630000u);

    // The log draws each line so on its background, again when that changes, and keeps the
    // colour the line was given.
    SetColor("WinDef", 0);
    SetColor("RPanelBG", 0x2D2D2D);
    log.OnCreate(profile);
    for (const COLORREF given : palette) {
        log.AddLine("line", given);
    }
    auto drawn = [&](int line) {
        return FromQColor(log.document()
                              ->findBlockByNumber(line)
                              .begin()
                              .fragment()
                              .charFormat()
                              .foreground()
                              .color());
    };
    for (int line = 0; line < 5; ++line) {
        EXPECT_EQ(drawn(line), ReadableTextColor(palette[line], 0x2D2D2D));
        EXPECT_EQ(LogLines(log)[line].color, palette[line]);
    }
    QPalette light = log.palette();
    light.setColor(QPalette::Base, Qt::white);
    log.setPalette(light);
    for (int line = 0; line < 5; ++line) {
        EXPECT_EQ(drawn(line), palette[line]);
    }
}

// A pipe whose reader is this test.
class Pipe {
public:
    explicit Pipe(int size = 0) {
        if (pipe2(m_fds, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        if (size > 0) {
            fcntl(m_fds[1], F_SETPIPE_SZ, size);
        }
        m_out = fdopen(m_fds[1], "w");
    }
    ~Pipe() {
        if (m_out != nullptr) {
            std::fclose(m_out);
        }
        close(m_fds[0]);
    }
    std::FILE* Out() const { return m_out; }
    // Fills the pipe until a writer would have to wait; the number of bytes written.
    std::size_t Fill() {
        const int flags = fcntl(m_fds[1], F_GETFL);
        fcntl(m_fds[1], F_SETFL, flags | O_NONBLOCK);
        std::size_t filled = 0;
        const std::string block(512, 'x');
        ssize_t n;
        while ((n = write(m_fds[1], block.data(), block.size())) > 0 || (n < 0 && errno == EINTR)) {
            filled += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        fcntl(m_fds[1], F_SETFL, flags);
        return filled;
    }
    // Reads until the text read ends with `end`, for up to 10 s.
    std::string ReadUntil(const std::string& end) {
        std::string text;
        char buffer[4096];
        for (int waited = 0; waited < 10000; waited += 20) {
            pollfd ready{m_fds[0], POLLIN, 0};
            if (poll(&ready, 1, 20) > 0) {
                const ssize_t got = read(m_fds[0], buffer, sizeof buffer);
                text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            }
            if (text.size() >= end.size() &&
                text.compare(text.size() - end.size(), end.size(), end) == 0) {
                break;
            }
        }
        return text;
    }

private:
    int m_fds[2] = {-1, -1};
    std::FILE* m_out = nullptr;
};

TEST_F(LogCtrlTest, MirrorWritesPlainLinesWithoutControlSequences) {
    Pipe pipe;
    log.SetMirror(pipe.Out());
    log.OnCreate(profile);
    log.AddLine("URL: ftp://host/\x1B]0;x\x07", LogColor::Black);
    log.AddLine("done.\r\n", LogColor::Green);
    log.AddLine("bad \xFF", LogColor::Green);
    EXPECT_EQ(pipe.ReadUntil("bad \xEF\xBF\xBD\n"),
              "  URL: ftp://host/?]0;x?\n  done.\n\n  bad \xEF\xBF\xBD\n");
    log.SetMirror(nullptr); // before the pipe goes
}

// A terminal paused with Ctrl+S or a pipe nobody reads: the log goes on, and what the output
// cannot take waits in a bounded queue whose oldest lines give way to one note.
TEST_F(LogCtrlTest, MirrorNeverWaitsForAnOutputThatDoesNotDrain) {
    Pipe pipe(4096);
    const std::size_t filled = pipe.Fill();
    ASSERT_GT(filled, 0u);
    {
        CLogMirror mirror(pipe.Out(), 3);
        auto writes = std::async(std::launch::async, [&] {
            for (int i = 1; i <= 100; ++i) {
                mirror.Write("line " + std::to_string(i) + "\n");
            }
        });
        const bool returned = writes.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        EXPECT_TRUE(returned) << "a write waited for the output";
        const std::string text = pipe.ReadUntil("line 100\n");
        writes.wait();
        ASSERT_GE(text.size(), filled);
        EXPECT_EQ(text.find_first_not_of('x'), filled);
        // What is left after the filler: kept lines in order and notes for the rest.
        std::istringstream rest(text.substr(filled));
        std::vector<int> kept;
        int dropped = 0;
        int notes = 0;
        for (std::string line; std::getline(rest, line);) {
            int count = 0;
            if (std::sscanf(line.c_str(), "... %d lines dropped", &count) == 1) {
                dropped += count;
                ++notes;
            } else {
                kept.push_back(std::stoi(line.substr(5)));
            }
        }
        EXPECT_GE(notes, 1);
        EXPECT_LE(kept.size(), 6u) << "more than the bound waited";
        EXPECT_EQ(static_cast<int>(kept.size()) + dropped, 100);
        EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
        ASSERT_GE(kept.size(), 3u);
        EXPECT_EQ(std::vector<int>(kept.end() - 3, kept.end()), (std::vector<int>{98, 99, 100}));
    }
}

} // namespace
