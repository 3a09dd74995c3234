#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ReadableFile open_regular_file(const char* path) {
  // Non-blocking, so that a FIFO with no writer opens at once instead of
  // waiting; a regular file reads the same either way.
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return {};
  struct stat status;
  if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) return {descriptor, false};
  close(descriptor);
  return {-1, true};
}

bool names_non_regular_file(const char* path) {
  const ReadableFile file = open_regular_file(path);
  if (file.descriptor >= 0) close(file.descriptor);
  return file.not_regular;
}
