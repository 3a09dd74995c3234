// The checksum of a presented picture in the capture's log of presented
// pictures, which the recording tests compare with the decoded video.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// FNV-1a over pairs of pixels; byte 3 is not part of the picture.
inline uint64_t picture_hash(const uint8_t* picture, size_t bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i + 8 <= bytes; i += 8) {
    uint64_t pair;
    std::memcpy(&pair, picture + i, 8);
    hash ^= pair & 0x00ffffff00ffffffull;
    hash *= 1099511628211ull;
  }
  return hash;
}
