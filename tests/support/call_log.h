// A thread-safe list of the library calls a test has seen, as short strings
// such as "SDL_Delay 5".
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

class CallLog {
 public:
  void add(std::string call) {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(std::move(call));
  }
  std::vector<std::string> calls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
  }
  void clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.clear();
  }
  // The calls whose text starts with any of `prefixes`, in order.
  std::vector<std::string> only(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> kept;
    for (const std::string& call : calls())
      if (std::any_of(prefixes.begin(), prefixes.end(),
                      [&](const std::string& prefix) { return call.rfind(prefix, 0) == 0; }))
        kept.push_back(call);
    return kept;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};
