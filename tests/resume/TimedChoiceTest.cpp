#include "resume/TimedChoice.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class TimedChoiceTest : public ::testing::Test {
protected:
    // Ticks of 100 ms, `ms` after the previous one, until the default is pressed (at most
    // `limit`); the seconds shown after each change.
    int RunOut(CTimedChoice& choice, DWORD ms, int limit, std::vector<int>* shown = nullptr) {
        for (int ticks = 1; ticks <= limit; ++ticks) {
            m_clock.AdvanceTicks(ms);
            int pressed = 0;
            if (choice.OnTimer(CTimedChoice::kTimerId, pressed) && shown != nullptr) {
                shown->push_back(choice.GetSecondsLeft());
            }
            if (pressed != 0) {
                m_pressed = pressed;
                return ticks;
            }
        }
        return -1;
    }

    CFakeClock m_clock{0, 5000};
    ScopedClock m_scoped{m_clock};
    int m_pressed = 0;
};

TEST_F(TimedChoiceTest, CountsDownWholeSecondsAndPressesTheDefaultAfterNineSeconds) {
    CTimedChoice choice("Caption", "Message", 10000, 1, "Yes", "No");
    choice.Start();
    EXPECT_EQ(choice.GetCountdownText(), "Auto-selecting \"Yes\" in 10 second(s) ...");
    std::vector<int> shown;
    EXPECT_EQ(RunOut(choice, 100, 200, &shown), 91); // the first tick after more than 9,000 ms
    EXPECT_EQ(shown, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(m_pressed, IDOK);
    EXPECT_FALSE(choice.IsCounting());
    EXPECT_EQ(choice.GetCountdownText(), "Auto-selecting \"Yes\" in 0 second(s) ...");

    CTimedChoice other("Caption", "Message", 3000, 2, "Yes", "No");
    other.Start();
    EXPECT_EQ(other.GetCountdownText(), "Auto-selecting \"No\" in 3 second(s) ...");
    EXPECT_EQ(RunOut(other, 2000, 1), -1);
    EXPECT_EQ(other.GetSecondsLeft(), 1);
    EXPECT_EQ(RunOut(other, 1, 1), 1);
    EXPECT_EQ(m_pressed, IDCANCEL);
}

TEST_F(TimedChoiceTest, ShortTimeoutsLateTicksAndWrappedTickCounts) {
    for (const DWORD timeout : {0u, 1u, 999u}) {
        CTimedChoice choice("", "", timeout, 1, "Yes", "No");
        choice.Start();
        EXPECT_EQ(choice.GetSecondsLeft(), 0);
        EXPECT_EQ(RunOut(choice, 100, 5), 1) << timeout;
    }
    CTimedChoice late("", "", 10000, 2, "Yes", "No");
    late.Start();
    EXPECT_EQ(RunOut(late, 25000, 1), 1);
    EXPECT_EQ(late.GetSecondsLeft(), 0);
    EXPECT_EQ(m_pressed, IDCANCEL);

    m_clock.SetTick(0xFFFFFFFFu - 3000);
    CTimedChoice wrapped("", "", 10000, 1, "Yes", "No");
    wrapped.Start();
    EXPECT_EQ(RunOut(wrapped, 4100, 1), -1); // past 2^32
    EXPECT_EQ(wrapped.GetSecondsLeft(), 5);
    EXPECT_EQ(RunOut(wrapped, 5000, 1), 1);
}

TEST_F(TimedChoiceTest, OtherTimersAndTicksAfterAnAnswerPressNothing) {
    CTimedChoice choice("", "", 10000, 1, "Yes", "No");
    choice.Start();
    m_clock.AdvanceTicks(20000);
    int pressed = -1;
    EXPECT_FALSE(choice.OnTimer(2, pressed));
    EXPECT_EQ(pressed, 0);
    EXPECT_EQ(choice.GetSecondsLeft(), 10);
    choice.Stop();
    EXPECT_FALSE(choice.OnTimer(CTimedChoice::kTimerId, pressed));
    EXPECT_EQ(pressed, 0);
}

} // namespace
