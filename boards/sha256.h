#pragma once
// SHA-256 of a byte string: by OpenSSL's libcrypto on Linux, by Windows' CNG on Windows.

#include <cstdint>
#include <span>
#include <string>

namespace brimlo::boards {

// Lower-case hex, 64 digits; empty when the system cannot compute it.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace brimlo::boards
