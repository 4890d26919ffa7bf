// The debug logger used when the client's settings leave debugging off: it
// accepts every line and drops it.
#pragma once

#include "diag/DebugLogger.h"

class NotActiveDebugLogger : public DebugLogger {
 public:
  explicit NotActiveDebugLogger(int logNumber) : DebugLogger(logNumber) {}
  ~NotActiveDebugLogger() override = default;

  void Write(const char* /*format*/, ...) override {}
};
