#include "diag/Report.h"

void Report::Line(const std::string& text) { platform::WriteErrorLine("kvbconfig: " + text); }

void Report::Failure(const std::string& action, const std::string& path, platform::Status status,
                     int error) {
  if (status == platform::Status::kReadOnly)
    Line(Path(path) + " is read-only: left as it is");
  else
    Line("cannot " + action + " " + Path(path) + ": " + platform::ErrorText(error));
}

std::string Report::Path(const std::string& path) { return platform::NativePath(path); }
