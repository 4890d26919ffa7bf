#include "diag/DebugLogger.h"

#include <cstdarg>

#include "diag/ActiveDebugLogger.h"
#include "diag/NotActiveDebugLogger.h"
#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "settings/FileNames.h"
#include "text/Text.h"

namespace {

constexpr int kLocksLogNumber = 2;
constexpr const char* kProgramVersion = "2.0.2.2773";
constexpr const char* kHeaderRule =
    "---------------------------------------------------------------";

DebugLogger* CreateInstance() {
  Configuration* configuration = Configuration::GetInstance();
  // Made whether or not debugging is on; a failure only means no log file.
  const std::string logFolder = configuration->GetUserDataPath() + "\\" + "logs\\";
  if (!platform::PathExists(logFolder)) platform::CreateFolder(logFolder);
  if (configuration->IsDebugEnabled()) return new ActiveDebugLogger(kLocksLogNumber);
  return new NotActiveDebugLogger(kLocksLogNumber);
}

}  // namespace

DebugLogger::DebugLogger(int /*logNumber*/) {}

DebugLogger::~DebugLogger() = default;

DebugLogger* DebugLogger::GetInstance() {
  // A function-local static guards concurrent first calls; never destroyed.
  static DebugLogger* const instance = CreateInstance();
  return instance;
}

DebugLogger::Locker::Locker(CCriticalSection* section, const std::string& name)
    : name_(name), section_(section) {
  section_->Lock();
}

DebugLogger::Locker::~Locker() { section_->Unlock(); }

ActiveDebugLogger::ActiveDebugLogger(int logNumber)
    : ActiveDebugLogger(logNumber, Configuration::GetInstance()->GetUserDataPath()) {}

ActiveDebugLogger::ActiveDebugLogger(int logNumber, const std::string& userDataPath)
    : DebugLogger(logNumber) {
  // A number outside the tables leaves the stream failed: every line is dropped.
  if (logNumber < 0 || logNumber > 2) return;
  stream_.Open(userDataPath + "\\" + LogFileNames[logNumber], platform::File::Mode::kWriteTruncate);
  stream_.WriteLine(std::string("Zaro ") + LogTitles[logNumber] + " Debug Logfile - Created at " +
                    platform::UtcTimeStamp());
  const platform::SystemVersion version = platform::GetSystemVersion();
  stream_.WriteLine(kHeaderRule);
  stream_.Flush();
  Write("Zaro v%s / Windows v%d.%d.%d %s", kProgramVersion, version.major, version.minor,
        version.build, version.servicePack.c_str());
}

ActiveDebugLogger::~ActiveDebugLogger() {
  Write("** Logfile closed");
  stream_.Flush();
}

void ActiveDebugLogger::Write(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string message = text::FormatV(format, arguments);
  va_end(arguments);

  Locker locker(&section_, "DebugLogger::Write");
  stream_.WriteLine("[" + platform::UtcTimeStamp() + "] " + message);
  stream_.Flush();
}
