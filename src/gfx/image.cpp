#include "gfx/image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "platform/files.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

uint16_t little_endian_u16(const unsigned char* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

// A file too short for its header's pixel count is refused before the
// buffer is allocated, so a hostile header cannot ask for gigabytes.
bool file_too_short(std::FILE* file, size_t needed) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return false;
  return uint64_t(status.st_size) < 6 + uint64_t(needed);
}

// The file at `path` for reading, when it is a regular file; never waits.
std::FILE* open_image_file(const char* path, const char** reason) {
  const ReadableFile opened = open_regular_file(path);
  if (opened.descriptor < 0) {
    *reason = unopened_file_reason(opened);
    return nullptr;
  }
  std::FILE* file = fdopen(opened.descriptor, "rb");
  if (file == nullptr) {
    close(opened.descriptor);
    *reason = std::strerror(errno);
  }
  return file;
}

constexpr const char* cut_short = "the file is cut short";
constexpr const char* no_memory = "not enough memory for the image";

// Null with `*reason` set, for the one return of every refusal.
SDL_Surface* refused(const char** reason, const char* why) {
  *reason = why;
  return nullptr;
}

}  // namespace

SDL_Surface* load_image(const char* path, const char** reason) {
  const char* ignored = nullptr;
  if (reason == nullptr) reason = &ignored;
  std::unique_ptr<std::FILE, FileCloser> file(open_image_file(path, reason));
  if (!file) return nullptr;

  unsigned char header[6];
  if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return refused(reason, cut_short);
  const uint16_t width = little_endian_u16(header);
  const uint16_t height = little_endian_u16(header + 2);
  const uint16_t depth = little_endian_u16(header + 4);
  // The copy moves four bytes per pixel, which only a 32-bit surface holds.
  if (depth != 32) return refused(reason, "the image is not 32 bits per pixel");

  // Up to 65535 × 65535 × 4 bytes, which needs more than 32 bits: formed in
  // 64 bits, and refused where it does not fit the address space.
  const uint64_t wide_byte_count = uint64_t{width} * uint64_t{height} * 4;
  if (wide_byte_count > SIZE_MAX) return refused(reason, no_memory);
  const size_t byte_count = size_t(wide_byte_count);
  if (file_too_short(file.get(), byte_count)) return refused(reason, cut_short);

  SDL_Surface* surface = lib::SDL_CreateRGBSurface(0, width, height, depth, 0, 0, 0, 0);
  if (surface == nullptr || (byte_count != 0 && surface->pixels == nullptr)) {
    if (surface != nullptr) lib::SDL_FreeSurface(surface);
    return refused(reason, no_memory);
  }
  // Rows are `width` pixels apart in the file and in the surface alike, so the
  // pixels are read straight into place.
  if (byte_count != 0 && std::fread(surface->pixels, 1, byte_count, file.get()) != byte_count) {
    lib::SDL_FreeSurface(surface);
    return refused(reason, cut_short);
  }
  return surface;
}

SDL_Surface* load_asset_image(const char* path) {
  const char* reason = nullptr;
  SDL_Surface* image = load_image(path, &reason);
  if (image == nullptr) report_unusable_asset(path, reason);
  return image;
}

void report_unusable_asset(const char* path, const char* reason) {
  std::fprintf(stderr, "Cannot load %s: %s\n", path, reason);
}

void swap_red_blue(SDL_Surface* surface) {
  auto* bytes = static_cast<unsigned char*>(surface->pixels);
  const size_t count = size_t(surface->w) * size_t(surface->h);
  for (size_t i = 0; i < count; ++i) std::swap(bytes[4 * i], bytes[4 * i + 2]);
}
