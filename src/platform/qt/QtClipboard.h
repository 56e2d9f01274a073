// The clipboard and Control key through Qt.
#pragma once

#include "platform/Clipboard.h"

class CQtClipboard : public IClipboard {
public:
    std::string GetText() override;
    bool IsControlKeyDown() override;
};
