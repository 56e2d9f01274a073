#include "GuiTest.h"
#include "app/MonitorApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QTextBlock>
#include <QTimer>

void EnsureApplication() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "qt_frontend_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

void AnswerNextBox(QMessageBox::StandardButton button, SeenBox* seen) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, button, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (seen != nullptr) {
            seen->text = box->text();
            seen->caption = box->windowTitle();
            seen->icon = box->icon();
            seen->buttons = box->standardButtons();
            seen->shown = true;
        }
        box->button(button)->click();
    });
    poll->start();
}

std::vector<LogLine> LogLines(const CLogCtrl& log) {
    std::vector<LogLine> lines;
    const QTextDocument* doc = log.document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        // The last block is the empty one after the final line end.
        if (!block.next().isValid() && block.text().isEmpty()) {
            break;
        }
        long long color = -2; // -2: no characters
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const long long value =
                it.fragment().charFormat().property(CLogCtrl::kGivenColorProperty).toUInt();
            color = (color == -2 || color == value) ? value : -1;
        }
        lines.push_back({block.text().toStdString(), color});
    }
    return lines;
}

std::vector<std::string> Describe(const QMenu& menu) {
    std::vector<std::string> items;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            items.emplace_back("---");
            continue;
        }
        std::string item =
            action->text().toStdString() + "#" + std::to_string(action->data().toUInt());
        if (!action->isEnabled()) {
            item += "(grey)";
        }
        if (action->isChecked()) {
            item += "[x]";
        }
        items.push_back(item);
    }
    return items;
}

void FrameTest::SetUp() {
    SetUrlMonitorSwitch(1);
    SetClientFolder("/opt/quorvel");
    app = std::make_unique<CMonitorApp>(desktop, clipboard, shell);
    UseMonitorProfile(*app);
    CRect rect{100, 50, 550, 350};
    frame = std::make_unique<CTestFrame>(*app, rect);
    app->m_pMainWnd = frame.get();
    app->m_urlMonitor.Attach(&frame->m_wndLog);
    app->m_urlMonitor.Start(frame.get());
    app->m_scheduler.Attach(&frame->m_wndLog);
    app->m_scheduler.Start(frame.get());
}

void FrameTest::TearDown() {
    frame.reset();
    app.reset();
}

void FrameTest::SetPreference(const char* name, int value) {
    app->WriteProfileInt(MonitorNames::PreferencesSection, name, value);
}

std::vector<std::string> FrameTest::LogTexts() const {
    std::vector<std::string> texts;
    for (const LogLine& line : LogLines(frame->m_wndLog)) {
        texts.push_back(line.text);
    }
    return texts;
}
