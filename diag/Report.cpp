#include "diag/Report.h"

void Report::Line(const std::string& text) { platform::WriteErrorLine("kvbconfig: " + text); }

void Report::Failure(const std::string& action, const std::string& path,
                     const platform::Result& failure) {
  if (failure == platform::Status::kReadOnly)
    LeftAsItIs(path, failure.Reason());
  else
    Line("cannot " + action + " " + Path(path) + ": " + failure.Reason());
}

void Report::LeftAsItIs(const std::string& path, const std::string& why) {
  Line(Path(path) + ": left as it is (" + why + ")");
}

std::string Report::Path(const std::string& path) { return platform::NativePath(path); }
