#include "support/Fakes.h"

#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

bool CFakeShell::Open(const std::string& file, const char* parameters, std::string* error) {
    starts.push_back({file, parameters != nullptr ? parameters : "", parameters != nullptr});
    if (onOpen) {
        onOpen();
    }
    if (!succeed && error != nullptr) {
        *error = "refused by the test";
    }
    return succeed;
}

std::vector<std::string> CFakeLog::Texts() const {
    std::vector<std::string> texts;
    for (const auto& line : lines) {
        texts.push_back(line.text);
    }
    return texts;
}

int CFakeDesktop::TimedChoice(const char* caption, const char* message, DWORD timeoutMs,
                              int defaultButton, const char* okText, const char* cancelText) {
    questions.push_back(std::string("timed:") + caption + "|" + message + "|" +
                        std::to_string(timeoutMs) + "|" + std::to_string(defaultButton) + "|" +
                        okText + "|" + cancelText);
    if (timedChoiceAnswers.empty()) {
        return defaultButton == 1 ? IDOK : IDCANCEL;
    }
    const int answer = timedChoiceAnswers.front();
    timedChoiceAnswers.erase(timedChoiceAnswers.begin());
    return answer;
}

int CFakeDesktop::MessageBox(const char* text, const char* caption, UINT type) {
    questions.push_back(std::string("box:") + text + "|" + caption + "|" + std::to_string(type));
    if (messageBoxAnswers.empty()) {
        return IDCANCEL;
    }
    const int answer = messageBoxAnswers.front();
    messageBoxAnswers.erase(messageBoxAnswers.begin());
    return answer;
}

void SetUrlMonitorSwitch(int value) {
    CWinApp prefs;
    UseMonitorProfile(prefs);
    prefs.WriteProfileInt(MonitorNames::PreferencesSection, "URLMonitor", value);
}

void SetClientFolder(const std::string& folder) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey), ERROR_SUCCESS);
    RegSetValueExA(key.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
}
