// Driving dialogs as a user would: the application object, modal runs answered from inside
// their own event loop, and the client's profile for the store.
#pragma once

#include "app/MonitorApp.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/ScheduleData.h"
#include "scheduler/SchedulerTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Fails the running test and closes any modal window that stays open for five seconds: a
// question nobody expected must not hang the test program.
inline void StartModalWatchdog() {
    static QPointer<QWidget> seen;
    static int ticks = 0;
    auto* timer = new QTimer(QApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal != seen) {
            seen = modal;
            ticks = 0;
            return;
        }
        if (++ticks >= 50) {
            ADD_FAILURE() << "modal window left open: " << modal->windowTitle().toStdString()
                          << " / " << modal->metaObject()->className();
            modal->close();
            ticks = 0;
        }
    });
    timer->start(100);
}

// One QApplication for the whole test program, on the offscreen platform unless told otherwise.
inline void EnsureApplication() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "qt_dialogs_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    StartModalWatchdog();
}

// Runs `action` once the active modal window is a T: from inside a modal run started after
// this call. Gives up after `timeoutMs`, closing whatever modal window is open so that the
// test fails instead of hanging.
template <typename T> void WhenModal(std::function<void(T*)> action, int timeoutMs = 5000) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [action, attempt, timeoutMs](int waited) {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            action(widget);
            return;
        }
        if (waited >= timeoutMs) {
            ADD_FAILURE() << "expected modal window did not appear";
            if (QWidget* other = QApplication::activeModalWidget()) {
                other->close();
            }
            return;
        }
        QTimer::singleShot(10, [attempt, waited] { (*attempt)(waited + 10); });
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(0); });
}

// Answers the next message box with `button`, recording its caption and text.
struct MessageAnswer {
    bool asked = false;
    QString caption;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};
inline std::shared_ptr<MessageAnswer> AnswerMessageBox(QMessageBox::StandardButton button) {
    auto answer = std::make_shared<MessageAnswer>();
    WhenModal<QMessageBox>([answer, button](QMessageBox* box) {
        answer->asked = true;
        answer->caption = box->windowTitle();
        answer->text = box->text();
        answer->format = box->textFormat();
        answer->icon = box->icon();
        box->button(button)->click();
    });
    return answer;
}

// The eight fields of a record, for comparisons with readable failures.
inline std::array<std::int32_t, 8> Fields(const SCHEDULEDATA& d) {
    return {d.timeStart, d.timeEnd,   d.timeLastRun, d.bOnce,
            d.bEndDate,  d.bDisabled, d.nCount,      d.nUnit};
}
