#include "frontend/qt/dialogs/TimedChoiceDlg.h"
#include "frontend/qt/platform/QtColor.h"
#include "platform/Clock.h"
#include "platform/Contrast.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

// Font libraries keep caches for the life of the process; they are not leaks of ours.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

namespace {

QApplication& App() {
    // Dialogs are tested without a display, whatever the environment says.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "qt_timed_choice_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::string Text(const QLabel& label) {
    return label.text().toStdString();
}

class TimedChoiceDlgTest : public ::testing::Test {
protected:
    TimedChoiceDlgTest() : m_scoped(m_clock) { App(); }

    std::unique_ptr<CTimedChoiceDlg> Make(DWORD timeout, int defaultButton) {
        return std::make_unique<CTimedChoiceDlg>(
            nullptr, "Quorvel PRO - Kettrin Downloads/Uploads",
            "Interrupted transfer(s) detected.\nDo you want to resume them?", timeout,
            defaultButton, "Yes", "No");
    }

    // One tick of the countdown, `ms` after the previous one.
    void Tick(CTimedChoiceDlg& dlg, DWORD ms) {
        m_clock.AdvanceTicks(ms);
        dlg.OnTimer(CTimedChoice::kTimerId);
    }

    CFakeClock m_clock{0, 5000};
    ScopedClock m_scoped;
};

// The countdown's rules are CTimedChoice's (tests/resume); here the dialog shows them.
TEST_F(TimedChoiceDlgTest, ShowsTheQuestionAndItsCountdownAndPressesTheDefault) {
    auto dlg = Make(10000, 1);
    dlg->show();
    EXPECT_EQ(dlg->windowTitle().toStdString(), "Quorvel PRO - Kettrin Downloads/Uploads");
    // Wide enough for the whole title in a bold title font, the buttons still at the right.
    QFont titleFont = dlg->font();
    titleFont.setBold(true);
    EXPECT_GT(dlg->width(), QFontMetrics(titleFont).horizontalAdvance(dlg->windowTitle()) + 60);
    EXPECT_LT(dlg->width() - dlg->m_btnCancel->geometry().right(), 10);
    CTimedChoiceDlg endless(nullptr, std::string(400, 'W').c_str(), "?", 3000, 1, "Yes", "No");
    endless.show();
    EXPECT_EQ(endless.width(), endless.screen()->availableGeometry().width());
    EXPECT_EQ(Text(*dlg->m_ctrlMessage),
              "Interrupted transfer(s) detected.\nDo you want to resume them?");
    EXPECT_EQ(dlg->m_btnOk->text().toStdString(), "Yes");
    EXPECT_EQ(dlg->m_btnCancel->text().toStdString(), "No");
    EXPECT_TRUE(dlg->m_btnOk->isDefault());
    EXPECT_FALSE(dlg->m_ctrlIcon->pixmap().isNull());
    EXPECT_EQ(Text(dlg->m_wndCountdown), "Auto-selecting \"Yes\" in 10 second(s) ...");
    Tick(*dlg, 1000);
    EXPECT_EQ(Text(dlg->m_wndCountdown), "Auto-selecting \"Yes\" in 9 second(s) ...");
    Tick(*dlg, 8001);
    EXPECT_EQ(Text(dlg->m_wndCountdown), "Auto-selecting \"Yes\" in 0 second(s) ...");
    EXPECT_EQ(dlg->result(), IDOK);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->IsCounting());

    auto other = Make(3000, 2);
    other->show();
    Tick(*other, 3000);
    EXPECT_EQ(other->result(), IDCANCEL);
}

TEST_F(TimedChoiceDlgTest, EveryWayOfAnsweringStopsTheCountdown) {
    struct Way {
        const char* name;
        std::function<void(CTimedChoiceDlg&)> answer;
        int result;
    };
    const std::vector<Way> ways = {
        {"button 1", [](CTimedChoiceDlg& d) { QTest::mouseClick(d.m_btnOk, Qt::LeftButton); },
         IDOK},
        {"button 2", [](CTimedChoiceDlg& d) { QTest::mouseClick(d.m_btnCancel, Qt::LeftButton); },
         IDCANCEL},
        {"Enter", [](CTimedChoiceDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, IDOK},
        {"Escape", [](CTimedChoiceDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, IDCANCEL},
        {"close box", [](CTimedChoiceDlg& d) { d.close(); }, IDCANCEL},
    };
    for (const auto& way : ways) {
        // The default is the other answer, so an automatic press would show in the result.
        auto dlg = Make(10000, way.result == IDOK ? 2 : 1);
        dlg->show();
        Tick(*dlg, 3000);
        way.answer(*dlg);
        EXPECT_FALSE(dlg->IsCounting()) << way.name;
        EXPECT_EQ(dlg->result(), way.result) << way.name;
        Tick(*dlg, 20000);
        EXPECT_EQ(dlg->result(), way.result) << way.name;
    }
}

TEST_F(TimedChoiceDlgTest, DoModalReturnsWhatTheRealTimerChooses) {
    auto yes = Make(500, 1);
    EXPECT_EQ(yes->DoModal(), IDOK);

    auto no = Make(10000, 2);
    QTimer::singleShot(0, [this] { m_clock.AdvanceTicks(9500); });
    EXPECT_EQ(no->DoModal(), IDCANCEL);

    auto user = Make(10000, 1);
    QTimer::singleShot(0, [&] { user->m_btnCancel->click(); });
    EXPECT_EQ(user->DoModal(), IDCANCEL);

    // The program ending under the dialog answers nothing, whatever the default.
    auto ended = Make(10000, 2);
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    EXPECT_EQ(ended->DoModal(), IDNOANSWER);
    EXPECT_EQ(ended->result(), 0);
    // Let later dialogs of this process run their loops again.
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
}

// How many pixels of the image are exactly `color`, and how many are clearly green.
std::pair<int, int> Count(const QImage& image, const QColor& color) {
    int exact = 0;
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            exact += c == color;
            green += c.green() > c.red() + 50 && c.green() > c.blue() + 50;
        }
    }
    return {exact, green};
}

TEST_F(TimedChoiceDlgTest, TheCountdownLineIsDarkBlueOnButtonFaceAndStaysReadable) {
    QPalette palette = QApplication::palette();
    const QPalette saved = palette;
    palette.setColor(QPalette::Text, QColor(0, 200, 0));
    palette.setColor(QPalette::WindowText, QColor(0, 200, 0));
    palette.setColor(QPalette::Button, QColor(240, 240, 240));
    palette.setColor(QPalette::Window, QColor(250, 250, 250));
    QApplication::setPalette(palette);

    // Whatever the text colour, on a light face exactly the dark blue.
    auto dlg = Make(10000, 1);
    dlg->show();
    EXPECT_EQ(dlg->m_wndCountdown.m_crText, 0xB40000u);
    EXPECT_EQ(dlg->m_wndCountdown.m_crBack, RGB(240, 240, 240));
    auto [blue, green] = Count(dlg->m_wndCountdown.grab().toImage(), QColor(0, 0, 0xB4));
    EXPECT_GT(blue, 0);
    EXPECT_EQ(green, 0);

    // The desktop turns dark while the question is open: the cells follow, and the blue
    // becomes the nearest shade that reads on them.
    palette.setColor(QPalette::Button, QColor(10, 20, 30));
    QApplication::setPalette(palette);
    QApplication::processEvents();
    EXPECT_EQ(dlg->m_wndCountdown.m_crBack, RGB(10, 20, 30));
    EXPECT_EQ(dlg->m_wndCountdown.m_crText, 0xB40000u);
    const QImage dark = dlg->m_wndCountdown.grab().toImage();
    QApplication::setPalette(saved);
    const COLORREF shade = ReadableTextColor(0xB40000, RGB(10, 20, 30));
    EXPECT_NE(shade, 0xB40000u);
    EXPECT_GT(Count(dark, ToQColor(shade)).first, 0);
    EXPECT_EQ(Count(dark, QColor(0, 0, 0xB4)).first, 0);
    EXPECT_GT(Count(dark, QColor(10, 20, 30)).first, 0);
}

} // namespace
