// Texts in the companion's --json output.
#pragma once

#include <string>

namespace ctl {

// A JSON string literal for a stored text: quotes, backslashes and control characters escaped,
// well-formed UTF-8 kept, and any other byte (stored texts are not always UTF-8) given as the
// replacement character, so that the output is always valid JSON.
std::string JsonString(const std::string& s);

} // namespace ctl
