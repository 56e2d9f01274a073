// The clipboard's text and the Control key, as the URL monitor reads them. The Qt backend is
// in platform/qt; tests use a fake.
#pragma once

#include <string>

class IClipboard {
public:
    virtual ~IClipboard() = default;
    // The clipboard's text, or empty when it holds none.
    virtual std::string GetText() = 0;
    // Whether the Control key is down at this moment.
    virtual bool IsControlKeyDown() = 0;
};
