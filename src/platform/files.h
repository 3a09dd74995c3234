// Opening the intro's own files without ever waiting on them. An ordinary
// open of a FIFO waits until something writes to it, and a device may never
// answer either, so every file the intro reads (its images, its module, its
// two libraries) must be a regular file.
#pragma once

struct ReadableFile {
  int descriptor = -1;        // open for reading, or -1
  bool not_regular = false;   // the path named a FIFO, a device or a directory: refused
  int open_error = 0;         // errno of an open that failed (ENOENT, EACCES, ...)
};

// Opens `path` for reading without blocking and keeps it only when it is a
// regular file; the descriptor is then the caller's to close. The type is
// checked on the opened file itself, so it cannot change between check and
// use.
ReadableFile open_regular_file(const char* path);

// Why a file that open_regular_file refused cannot be read, in a few words
// for a message: missing, not to be read, not a regular file, or the
// system's own text.
const char* unopened_file_reason(const ReadableFile& file);

// True when `path` opens but is not a regular file: for the files that a
// library opens by name itself, which are refused before it tries. A path
// that cannot be opened at all is left to that library's own handling.
bool names_non_regular_file(const char* path);
