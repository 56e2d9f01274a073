// The clipboard's text and the Control key, as the URL monitor reads them. The Qt backend is
// in frontend/qt/platform; tests use a fake.
#pragma once

#include <cstdint>
#include <string>

class IClipboard {
public:
    virtual ~IClipboard() = default;
    // The clipboard's text, or empty when it holds none.
    virtual std::string GetText() = 0;
    // Whether the Control key is down at this moment.
    virtual bool IsControlKeyDown() = 0;
    // A number that changes whenever the clipboard's content may have changed, or -1 where the
    // platform does not tell of changes. While it stays the same, GetText gives the same text,
    // so a reader may skip reading a clipboard that can be megabytes long.
    virtual std::int64_t GetChangeCount() { return -1; }
    // Whether copies made while the Monitor is in the background are seen. Some desktops show
    // the clipboard only to the window that has the keyboard focus.
    virtual bool WatchesInBackground() { return true; }
    // Whether a copy made at this moment is seen at this moment: false while such a desktop
    // gives the focus to another program. What it shows once it gives the focus back was
    // copied unseen.
    virtual bool SeesCopiesNow() { return true; }
};
