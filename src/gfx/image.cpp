#include "gfx/image.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "app/binding.h"
#include "gfx/display.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

uint16_t little_endian_u16(const unsigned char* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace

SDL_Surface* load_image(const char* path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return nullptr;

  unsigned char header[6];
  if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return nullptr;
  const uint16_t width = little_endian_u16(header);
  const uint16_t height = little_endian_u16(header + 2);
  const uint16_t depth = little_endian_u16(header + 4);
  // The copy moves four bytes per pixel, which only a 32-bit surface holds.
  if (depth != 32) return nullptr;

  // At most 65535 × 65535 × 4 bytes: size_t is 64 bits wide on our targets,
  // and the product is formed there, never in 32 bits.
  const size_t pixel_count = size_t{width} * size_t{height};
  static_assert(sizeof(size_t) >= 8, "pixel byte counts need 64 bits");
  const size_t byte_count = pixel_count * 4;

  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[byte_count ? byte_count : 1]);
  if (!buffer) return nullptr;
  if (std::fread(buffer.get(), 1, byte_count, file.get()) != byte_count) return nullptr;
  file.reset();

  SDL_Surface* surface = lib::SDL_CreateRGBSurface(0, width, height, depth, 0, 0, 0, 0);
  if (surface == nullptr) return nullptr;
  if (byte_count != 0 && surface->pixels == nullptr) {
    lib::SDL_FreeSurface(surface);
    return nullptr;
  }
  // Rows are `width` pixels apart in the file and in the surface alike.
  if (byte_count != 0) std::memcpy(surface->pixels, buffer.get(), byte_count);
  return surface;
}

void report_unusable_asset(const char* path, const char* reason) {
  std::fprintf(stderr, "Cannot load %s: %s\n", path, reason);
}

void swap_red_blue(SDL_Surface* surface) {
  auto* bytes = static_cast<unsigned char*>(surface->pixels);
  const size_t count = size_t(surface->w) * size_t(surface->h);
  for (size_t i = 0; i < count; ++i) std::swap(bytes[4 * i], bytes[4 * i + 2]);
}
