#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

// The words that follow "Cannot load data/dataNN.dt: " for a file that did
// not open, where a whole run cannot show them: a denied permission (the
// suite runs as root, whom no file refuses), a path through a file, another
// error. (A FIFO and a missing file: BadFiles.)
TEST(FileReasons, EachRefusalIsNamedInItsOwnWords) {
  struct Case { ReadableFile file; std::string reason; };
  for (const Case& c : {Case{{-1, false, ENOTDIR}, "the file is missing"},
                        {{-1, false, EACCES}, "the file may not be read (permission denied)"},
                        {{-1, false, EIO}, std::strerror(EIO)}})
    EXPECT_EQ(unopened_file_reason(c.file), c.reason) << "errno " << c.file.open_error;
}
