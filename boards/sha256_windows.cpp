#include <windows.h>
// windows.h first: bcrypt.h uses its types.
#include <bcrypt.h>

#include <algorithm>

#include "boards/sha256.h"

namespace brimlo::boards {

// Windows' own CNG provider, so the tool needs no library a bare Windows lacks. Only a
// system without SHA-256 could fail these calls; the digest is then empty, which no log
// reader takes for a real one.
std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
        return {};
    }
    unsigned char digest[32] = {};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    // BCryptHashData takes a ULONG count: larger inputs go in pieces.
    for (std::size_t at = 0; ok && at < bytes.size();) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(bytes.size() - at, 1u << 30));
        ok = ::BCryptHashData(hash, const_cast<PUCHAR>(bytes.data() + at), piece, 0) >= 0;
        at += piece;
    }
    ok = ok && ::BCryptFinishHash(hash, digest, sizeof digest, 0) >= 0;
    if (hash != nullptr) {
        ::BCryptDestroyHash(hash);
    }
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) {
        return {};
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace brimlo::boards
