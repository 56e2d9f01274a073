// Menu command and window timer ids, shared by both front ends' menus and timers, the start-up
// sequence and the tests.
#pragma once

#include "platform/Types.h"

// Menu command ids.
namespace Command {
constexpr UINT Exit = 32771;
constexpr UINT StartClient = 32772;
constexpr UINT EnableUrlMonitor = 32773;
constexpr UINT DisableUrlMonitor = 32774;
constexpr UINT Open = 32777;
constexpr UINT ToggleUrlMonitor = 32778;
constexpr UINT Hide = 32779;
constexpr UINT QueueTransfers = 32780;
constexpr UINT ResumeTransfers = 32781;
constexpr UINT ClearWindow = 32782;
constexpr UINT CopyAll = 32783;
constexpr UINT CopySelection = 32784;
constexpr UINT Clock = 32786;
constexpr UINT LoadAtStartup = 32788;
} // namespace Command

// Timer ids of the main window.
namespace TimerId {
constexpr UINT UrlMonitor = 1;
constexpr UINT Scheduler = 2;
} // namespace TimerId
