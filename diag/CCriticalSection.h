// The lock that CThreadLock, the stores and the settings object hold: waits
// without a time limit and is not recursive.
#pragma once

#include <mutex>

class CCriticalSection {
 public:
  CCriticalSection() = default;
  virtual ~CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};
