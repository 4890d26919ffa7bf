// Runs the built kvbconfig the way a user does: in a folder of its own, with
// nothing but the given environment, no standard input, output captured.
#pragma once

#include "support/TempDir.h"

namespace kvbtest {

struct RunResult {
  int status = -1;  // as std::system reports it; 0 for a clean exit 0
  std::string console, errors;
};
/// The Windows build finds the application-data folder through the shell, not
/// APPDATA: there the APPDATA folder is copied into the real one for the run and
/// back after it, and the console's CR LF and pause prompt come as on Linux.
/// KVB_AS_NOBODY=1 in `environment` runs the Linux build as the user nobody.
RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  std::map<std::string, std::string> environment);
/// False for the Windows build, which cannot run the scenarios that need links,
/// Wine's drive folders or APPDATA itself (those with a file `linux_only`).
extern const bool kRunsLinuxOnlyScenarios;

}  // namespace kvbtest
