// A strong digest of a text (SHA-256), so that a program can recognise a text again without
// keeping it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);
