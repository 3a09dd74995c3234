// Arbitrary bytes as a .dt file: the loader must return null or a whole image,
// never read or write out of bounds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "gfx/image.h"
#include "support/media_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool bound = (open_test_display(), true);
  (void)bound;
  // An in-memory file, so the fuzzer touches no disk.
  const int fd = memfd_create("image.dt", 0);
  if (fd < 0 || write(fd, data, size) != ssize_t(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (SDL_Surface* surface = load_image(path.c_str())) {
    const auto* pixels = static_cast<const uint8_t*>(surface->pixels);
    unsigned sum = 0;
    for (size_t i = 0; i < size_t(surface->w) * size_t(surface->h) * 4; ++i) sum += pixels[i];
    if (sum == 1) std::puts("");  // keeps the reads from being optimised away
    SDL_FreeSurface(surface);
  }
  close(fd);
  return 0;
}
