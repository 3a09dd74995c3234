#include "stream_writer.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "virtual_clock.h"

namespace {

constexpr int reader_poll_ms = 5;

void mark_broken(StreamWriter& stream, const char* reason) {
  std::lock_guard<std::mutex> hold(stream.lock);
  if (!stream.broken) std::fprintf(stderr, "\ncapture: %s %s\n", stream.what.c_str(), reason);
  stream.broken = true;
  stream.queue.clear();
  stream.queued_bytes = 0;
  stream.changed.notify_all();
}

// Waits for a reader without blocking in open(): a named pipe refuses a
// non-blocking writer (ENXIO) until its reader has opened it.
int open_when_read(StreamWriter& stream) {
  int64_t give_up_ns = -1;
  for (;;) {
    const int fd = open(stream.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO && errno != EINTR) {
      mark_broken(stream, std::strerror(errno));
      return -1;
    }
    {
      std::lock_guard<std::mutex> hold(stream.lock);
      if (stream.closing && give_up_ns < 0) give_up_ns = monotonic_ns() + stream.reader_wait_ns;
    }
    if (give_up_ns >= 0 && monotonic_ns() > give_up_ns) {
      mark_broken(stream, "was never opened by the encoder");
      return -1;
    }
    usleep(reader_poll_ms * 1000);
  }
}

bool write_all(int fd, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    size -= size_t(written);
  }
  return true;
}

bool next_chunk(StreamWriter& stream, Chunk& chunk) {
  std::unique_lock<std::mutex> hold(stream.lock);
  stream.changed.wait(hold, [&] { return !stream.queue.empty() || stream.closing; });
  if (stream.queue.empty()) return false;
  chunk = std::move(stream.queue.front());
  stream.queue.pop_front();
  stream.queued_bytes -= chunk.bytes->size();
  stream.changed.notify_all();
  return true;
}

void write_stream(StreamWriter* stream) {
  // The encoder's pace is real: this thread is no part of the recorded run.
  if (virtual_clock_runs()) intro_clock_untimed_thread();
  const int fd = open_when_read(*stream);
  if (fd < 0) return;
  Chunk chunk;
  while (next_chunk(*stream, chunk)) {
    for (int64_t i = 0; i < chunk.repeats; ++i) {
      if (!write_all(fd, chunk.bytes->data(), chunk.bytes->size())) {
        mark_broken(*stream, "was closed by the encoder");
        close(fd);
        return;
      }
    }
  }
  close(fd);
}

}  // namespace

int64_t monotonic_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void stream_start(StreamWriter& stream, const std::string& path, const std::string& what,
                  size_t queue_limit) {
  stream.path = path;
  stream.what = what;
  stream.queue_limit = queue_limit;
  // The thread starts with every signal blocked: a vanished reader then shows
  // as EPIPE instead of killing the recorded program with SIGPIPE, and the
  // program's own interrupt handler runs on its own threads.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  stream.thread = std::thread(write_stream, &stream);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void stream_push(StreamWriter& stream, Chunk chunk) {
  std::unique_lock<std::mutex> hold(stream.lock);
  if (stream.broken) return;
  stream.changed.wait(hold, [&] { return stream.broken || stream.queued_bytes <= stream.queue_limit; });
  if (stream.broken) return;
  stream.queued_bytes += chunk.bytes->size();
  stream.queue.push_back(std::move(chunk));
  stream.changed.notify_all();
}

void stream_finish(StreamWriter& stream, double reader_wait_seconds) {
  if (!stream.thread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(stream.lock);
    stream.closing = true;
    stream.reader_wait_ns = int64_t(reader_wait_seconds * 1e9);
    stream.changed.notify_all();
  }
  stream.thread.join();
}

bool stream_broken(StreamWriter& stream) {
  std::lock_guard<std::mutex> hold(stream.lock);
  return stream.broken;
}
