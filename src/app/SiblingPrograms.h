// How the monitors reach the client: probing whether it runs and starting it.
#pragma once

#include "platform/Types.h"

#include <string>

class ISiblingPrograms {
public:
    virtual ~ISiblingPrograms() = default;
    virtual BOOL IsClientRunning() = 0;
    virtual BOOL IsDownloadHelperRunning() = 0;
    // Starts the client with the parameter string (null for none); does nothing while it runs.
    // FALSE when it could not be started, with a sentence for the log in `error`.
    virtual BOOL LaunchClient(const char* parameters, std::string* error = nullptr) = 0;
};
