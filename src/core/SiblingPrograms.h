// How the monitors reach the client: probing whether it runs and starting it.
#pragma once

#include "platform/Types.h"

#include <string>

// What a request to start the client did. A call that found the client running started
// nothing: whoever asked for it must not take its work for handed over.
enum class ClientLaunch { Started, AlreadyRunning, Failed };

class ISiblingPrograms {
public:
    virtual ~ISiblingPrograms() = default;
    virtual BOOL IsClientRunning() = 0;
    virtual BOOL IsDownloadHelperRunning() = 0;
    // Starts the client with the parameter string (null for none); does nothing while it runs.
    // Failed when it could not be started, with a sentence for the log in `error`.
    virtual ClientLaunch LaunchClient(const char* parameters, std::string* error = nullptr) = 0;
};
