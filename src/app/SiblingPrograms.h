// How the monitors reach the client: probing whether it runs and starting it.
#pragma once

#include "platform/Types.h"

class ISiblingPrograms {
public:
    virtual ~ISiblingPrograms() = default;
    virtual BOOL IsClientRunning() = 0;
    virtual BOOL IsDownloadHelperRunning() = 0;
    // Starts the client with the parameter string (null for none); does nothing while it runs.
    virtual void LaunchClient(const char* parameters) = 0;
};
