// Runs the Linux build of the tool through the shell, with nothing but the
// given environment and a time limit against a hang.
#include <cstdlib>
#include <filesystem>

#include "RunHarness.h"

namespace fs = std::filesystem;

namespace kvbtest {

const bool kRunsLinuxOnlyScenarios = true;

namespace {

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

}  // namespace

RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const Environment& environment) {
  const std::string output = workFolder + ".out";
  const std::string errors = workFolder + ".err";
  std::string command = "cd " + ShellQuote(workFolder) + " && timeout 120 env -i";
  for (const auto& [name, value] : environment) {
    if (value != kUnset) command += " " + ShellQuote(name + "=" + value);
  }
  command += " " + ShellQuote(KVBCONFIG_PATH);
  for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
  command += " </dev/null >" + ShellQuote(output) + " 2>" + ShellQuote(errors);

  RunResult result;
  result.status = std::system(command.c_str());
  result.console = ReadBytes(output);
  result.errors = ReadBytes(errors);
  std::error_code error;
  fs::remove(output, error);
  fs::remove(errors, error);
  return result;
}

}  // namespace kvbtest
