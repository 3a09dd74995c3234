// A byte stream written to a named pipe (or a file) by a thread of its own, so
// that the program being recorded never waits for the encoder: pushes go to a
// queue in memory, and only a queue grown past its limit holds the pusher
// back. Opening waits for a reader without blocking; a reader that goes away
// turns the stream into a sink that discards.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

// One block of the stream, written `repeats` times in a row.
struct Chunk {
  Bytes bytes;
  int64_t repeats = 1;
};

struct StreamWriter {
  std::string path;
  std::string what;  // names the stream in messages ("the picture stream")
  size_t queue_limit = 0;  // bytes held in memory before a push waits

  std::mutex lock;
  std::condition_variable changed;
  std::deque<Chunk> queue;
  size_t queued_bytes = 0;
  bool closing = false;
  int64_t reader_wait_ns = 0;  // how long a closing stream still waits for its reader
  bool broken = false;  // the reader went away, or never came: data is discarded
  std::thread thread;
};

// Starts the writer thread; it opens `path` for writing once a reader has
// opened it (a named pipe) or at once (a plain file, created when missing).
void stream_start(StreamWriter& stream, const std::string& path, const std::string& what,
                  size_t queue_limit);

void stream_push(StreamWriter& stream, Chunk chunk);

// Writes out what is queued, closes the stream and ends the thread. A reader
// that has not opened the pipe within `reader_wait_seconds` of this call is
// given up on.
void stream_finish(StreamWriter& stream, double reader_wait_seconds);

bool stream_broken(StreamWriter& stream);

// The real monotonic clock in nanoseconds: how long the encoder is waited
// for, and the speed in the progress line.
int64_t monotonic_ns();
