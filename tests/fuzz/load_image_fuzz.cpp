// Arbitrary bytes as a .dt file: the loader must return null or a whole image,
// never read or write out of bounds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <numeric>
#include <string>

#include "gfx/image.h"
#include "support/media_double.h"

volatile unsigned pixel_sum;  // keeps the reads of the image from being optimised away

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  [[maybe_unused]] static const bool bound = (open_test_display(), true);
  const int fd = memfd_create("image.dt", 0);  // an in-memory file: the fuzzer touches no disk
  if (fd < 0 || write(fd, data, size) != ssize_t(size)) return 0;
  if (SDL_Surface* surface = load_image(("/proc/self/fd/" + std::to_string(fd)).c_str())) {
    const auto* pixels = static_cast<const uint8_t*>(surface->pixels);
    pixel_sum = std::accumulate(pixels, pixels + size_t(surface->w) * size_t(surface->h) * 4, 0u);
    SDL_FreeSurface(surface);
  }
  close(fd);
  return 0;
}
