// The process-wide debug logger, made on first use: an ActiveDebugLogger writing
// the lock log when the client's settings turn debugging on, otherwise a
// NotActiveDebugLogger that drops everything. Never destroyed.
#pragma once

#include <string>

#include "diag/CCriticalSection.h"

class DebugLogger {
 public:
  explicit DebugLogger(int logNumber);
  virtual ~DebugLogger();

  virtual void Write(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      = 0;

  static DebugLogger* GetInstance();

  /// Holds a critical section for its lifetime.
  class Locker {
   public:
    Locker(CCriticalSection* section, const std::string& name);
    virtual ~Locker();
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

   private:
    std::string name_;
    CCriticalSection* section_;
  };
};
