#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

ReadableFile open_regular_file(const char* path) {
  // Non-blocking, so that a FIFO with no writer opens at once instead of
  // waiting; a regular file reads the same either way.
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return {-1, false, errno};
  struct stat status;
  if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) return {descriptor, false, 0};
  close(descriptor);
  return {-1, true, 0};
}

bool names_non_regular_file(const char* path) {
  const ReadableFile file = open_regular_file(path);
  if (file.descriptor >= 0) close(file.descriptor);
  return file.not_regular;
}

const char* unopened_file_reason(const ReadableFile& file) {
  if (file.not_regular) return "not a regular file";
  switch (file.open_error) {
    case ENOENT:
    case ENOTDIR: return "the file is missing";
    case EACCES:
    case EPERM: return "the file may not be read (permission denied)";
    default: return std::strerror(file.open_error);
  }
}
