// Small .dt files written into a scratch working directory, for the parts of
// the intro that load their assets from data/.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh directory with an empty data/ inside, made the working directory
// for the lifetime of the object.
class ScratchDirectory {
 public:
  ScratchDirectory() : previous_(std::filesystem::current_path()) {
    char pattern[] = "/tmp/intro_test_XXXXXX";
    path_ = mkdtemp(pattern);
    std::filesystem::create_directory(path_ / "data");
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

using Bytes = std::vector<unsigned char>;

// A .dt image: width, height and depth as little-endian 16-bit numbers, then
// the pixel words, byte 0 first.
inline Bytes image_bytes(int width, int height, const std::vector<uint32_t>& pixels, int depth = 32) {
  Bytes bytes;
  for (int field : {width, height, depth}) bytes.insert(bytes.end(), {uint8_t(field), uint8_t(field >> 8)});
  for (uint32_t word : pixels) bytes.insert(bytes.end(), {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)});
  return bytes;
}

inline void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void write_image(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  write_file(path, image_bytes(width, height, pixels));
}
