// Small .dt images written into a scratch working directory, for the parts of
// the intro that load their assets from data/.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
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

// Writes a 32-bit .dt image: width, height and depth as little-endian 16-bit
// numbers, then the pixels as stored words (little-endian).
inline void write_image(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  const unsigned char header[6] = {uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), 32, 0};
  std::fwrite(header, 1, sizeof header, file);
  std::fwrite(pixels.data(), 4, pixels.size(), file);
  std::fclose(file);
}

inline void write_filled_image(const std::string& path, int width, int height, uint32_t fill) {
  write_image(path, width, height, std::vector<uint32_t>(size_t(width) * size_t(height), fill));
}
