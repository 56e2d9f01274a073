#include "frontend/qt/platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

TEST(QtClipboardTest, CountsChangesAndHandsOverUtf8) {
    // The in-process clipboard of the offscreen platform, whatever display the caller has.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "qt-clipboard-test";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    CQtClipboard clipboard;
    const std::int64_t before = clipboard.GetChangeCount();
    ASSERT_GE(before, 0) << "the test platform tells of changes";
    EXPECT_EQ(clipboard.GetChangeCount(), before);

    QGuiApplication::clipboard()->setText(QString::fromUtf8("ftp://h\xC3\xB6st/"));
    QCoreApplication::processEvents();
    const std::int64_t after = clipboard.GetChangeCount();
    EXPECT_GT(after, before);
    EXPECT_EQ(clipboard.GetText(), "ftp://h\xC3\xB6st/");
    EXPECT_EQ(clipboard.GetChangeCount(), after);

    QGuiApplication::clipboard()->clear();
    QCoreApplication::processEvents();
    EXPECT_GT(clipboard.GetChangeCount(), after);
    EXPECT_EQ(clipboard.GetText(), "");
}

} // namespace
