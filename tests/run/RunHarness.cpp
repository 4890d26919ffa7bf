#include "RunHarness.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace kvbtest {

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

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

Tree Snapshot(const std::string& root) {
  Tree tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const fs::file_status status = it->symlink_status();
    TreeEntry& entry = tree[it->path().lexically_relative(root).generic_string()];
    if (fs::is_symlink(status)) {
      entry = {'l', "", fs::read_symlink(it->path()).string()};
    } else if (fs::is_directory(status)) {
      entry.type = 'd';
    } else {
      entry.content = ReadBytes(it->path().string());
      entry.readOnly = (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                fs::perms::others_write)) == fs::perms::none;
    }
  }
  return tree;
}

}  // namespace kvbtest
