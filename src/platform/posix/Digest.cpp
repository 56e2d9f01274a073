#include "platform/Digest.h"

#include <nettle/sha2.h>

Sha256Digest Sha256(std::string_view data) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
    Sha256Digest digest{};
    sha256_digest(&context, digest.size(), digest.data());
    return digest;
}
