// Runs the Linux build of the tool through the shell, with nothing but the given
// environment and a time limit against a hang.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "support/Support.h"

const bool kRunsLinuxOnlyScenarios = true;

static std::string Quote(const std::string& text) {
  return "'" + ReplaceAll(text, "'", "'\\''") + "'";
}

RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  std::map<std::string, std::string> environment) {
  // The output goes beside the folder, so that it never shows in a snapshot.
  const std::string output = workFolder + ".out", errors = workFolder + ".err";
  std::string program = KVBCONFIG_PATH, command = "cd " + Quote(workFolder) + " && ";
  // Past the limit a write fails, as on a full disk, rather than ending the process.
  if (!environment["KVB_FILE_SIZE"].empty())
    command += "trap '' XFSZ && prlimit --fsize=" + environment["KVB_FILE_SIZE"] + " ";
  // Root may write everything: a user who may not runs a copy of the tool that it
  // can reach, wherever the build lies.
  if (const std::string user = environment["KVB_AS_USER"]; !user.empty()) {
    program = workFolder + ".bin";
    fs::copy_file(KVBCONFIG_PATH, program, fs::copy_options::overwrite_existing);
    command += "setpriv --reuid=" + user + " --regid=" + user + " --clear-groups ";
  }
  environment.erase("KVB_AS_USER");
  environment.erase("KVB_FILE_SIZE");
  command += "timeout 120 env -i";
  for (const auto& [name, value] : environment) command += " " + Quote(name + "=" + value);
  command += " " + Quote(program);
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  command += " </dev/null >" + Quote(output) + " 2>" + Quote(errors);
  RunResult result{std::system(command.c_str()), ReadBytes(output), ReadBytes(errors)};
  std::error_code error;
  for (const std::string& file : {output, errors, workFolder + ".bin"}) fs::remove(file, error);
  return result;
}

bool MakeSpecial(const std::vector<std::string>& words, const fs::path& path) {
  if (words[0] == "fifo") return mkfifo(path.c_str(), 0644) == 0;
  if (words[0] == "device")  // /dev/null's, or /dev/zero's with "zero"
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, words.size() > 2 ? 5 : 3)) == 0;
  if (words[0] != "nobody") return false;
  for (const auto& entry : fs::recursive_directory_iterator(path))
    if (lchown(entry.path().c_str(), 65534, 65534) != 0) return false;
  return true;
}
