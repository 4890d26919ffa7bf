// Runs the Linux build of the tool through the shell, with nothing but the given
// environment and a time limit against a hang.

#include "RunHarness.h"

namespace kvbtest {

const bool kRunsLinuxOnlyScenarios = true;

static std::string Quote(const std::string& text) {
  return "'" + ReplaceAll(text, "'", "'\\''") + "'";
}

RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment) {
  // The output goes beside the folder, so that it never shows in a snapshot.
  const std::string output = workFolder + ".out", errors = workFolder + ".err";
  std::string command = "cd " + Quote(workFolder) + " && timeout 120 env -i";
  for (const auto& [name, value] : environment) command += " " + Quote(name + "=" + value);
  command += " " + Quote(KVBCONFIG_PATH);
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  command += " </dev/null >" + Quote(output) + " 2>" + Quote(errors);
  RunResult result{std::system(command.c_str()), ReadBytes(output), ReadBytes(errors)};
  std::error_code error;
  fs::remove(output, error);
  fs::remove(errors, error);
  return result;
}

}  // namespace kvbtest
