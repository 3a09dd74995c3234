// Small .dt files written into a scratch working directory, for the parts of
// the intro that load their assets from data/.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh directory with an empty data/ inside, the working directory for the
// lifetime of the object.
struct ScratchDirectory {
  std::filesystem::path previous = std::filesystem::current_path(), path;
  ScratchDirectory() {
    char pattern[] = "/tmp/intro_test_XXXXXX";
    path = mkdtemp(pattern);
    std::filesystem::create_directory(path / "data");
    std::filesystem::current_path(path);
  }
  ~ScratchDirectory() { std::filesystem::current_path(previous), std::filesystem::remove_all(path); }
};

using Bytes = std::vector<unsigned char>;

// A .dt image: width, height and depth 32 as little-endian 16-bit numbers,
// then the pixel words, byte 0 first.
inline Bytes image_bytes(int width, int height, const std::vector<uint32_t>& pixels) {
  Bytes bytes;
  for (int field : {width, height, 32}) bytes.insert(bytes.end(), {uint8_t(field), uint8_t(field >> 8)});
  for (uint32_t word : pixels) bytes.insert(bytes.end(), {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)});
  return bytes;
}

inline void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
