// The debug logger used when the client's settings turn debugging on: writes
// time-stamped lines (UTC) to its log file under the client's user data folder,
// starting the file anew with a three-line header. Owns its file and the lock
// that keeps lines from different threads apart.
#pragma once

#include <string>

#include "config/LineWriter.h"
#include "diag/CCriticalSection.h"
#include "diag/DebugLogger.h"

class ActiveDebugLogger : public DebugLogger {
 public:
  /// Log `logNumber` (an index into LogFileNames and LogTitles) in the user
  /// data folder of the client's settings.
  explicit ActiveDebugLogger(int logNumber);
  /// The same under `userDataPath` (no trailing backslash). A log number
  /// outside the tables gives a logger that drops everything.
  ActiveDebugLogger(int logNumber, const std::string& userDataPath);
  /// Writes "** Logfile closed".
  ~ActiveDebugLogger() override;

  void Write(const char* format, ...) override
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

 private:
  LineWriter stream_;
  CCriticalSection section_;  // serialises Write
};
