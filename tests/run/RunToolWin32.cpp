// Runs the Windows build of the tool (under Wine when tested on Linux). That build
// finds the application-data folder through the shell, not APPDATA: the run's
// APPDATA folder is copied into the user's real roaming folder before the run and
// copied back after it, and the roaming folder is cleared around every run.
#include <cstdlib>
#include <filesystem>
#include <set>

#include "RunHarness.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace kvbtest {

const bool kRunsLinuxOnlyScenarios = false;

namespace {

// The system's own folder inside the roaming folder, never touched.
const char* const kSystemFolder = "Microsoft/Windows";

bool IsReadOnly(const fs::path& path) {
  std::error_code error;
  const fs::perms writable =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (fs::status(path, error).permissions() & writable) == fs::perms::none;
}

// Everything below `folder` except the system's folder, children before parents.
void RemoveContent(const fs::path& folder, const fs::path& keep) {
  std::error_code error;
  std::vector<fs::path> entries;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path() == keep) {
      it.disable_recursion_pending();
      continue;
    }
    entries.push_back(it->path());
  }
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    std::error_code ignored;
    bool holdsKeep = false;
    for (fs::path parent = keep; !holdsKeep && parent.has_relative_path();
         parent = parent.parent_path())
      holdsKeep = parent == *entry;
    if (holdsKeep) continue;
    fs::permissions(*entry, fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove(*entry, ignored);
  }
}

// Copies files and folders, read-only files staying read-only; `skip` is left
// out, and so are the folders `notCreated` (relative to `from`) themselves.
void CopyContent(const fs::path& from, const fs::path& to, const fs::path& skip,
                 const std::set<fs::path>& notCreated) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(from, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path() == skip) {
      it.disable_recursion_pending();
      continue;
    }
    const fs::path relative = it->path().lexically_relative(from);
    const fs::path target = to / relative;
    std::error_code ignored;
    if (it->is_directory(ignored)) {
      if (!notCreated.count(relative)) fs::create_directories(target, ignored);
      continue;
    }
    fs::create_directories(target.parent_path(), ignored);
    WriteBytes(target, ReadBytes(it->path()));
    if (IsReadOnly(it->path())) {
      fs::permissions(target,
                      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove, ignored);
    }
  }
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// Wine's PAUSE prompt differs from the Linux build's and, with no input, has no
// line end: both become the Linux build's text and line end. CR LF becomes LF.
std::string ConsoleAsLines(const std::string& raw) {
  static const std::string kPrompt = "Press any key to continue";
  static const std::string kLinuxPrompt = "Press any key to continue . . . \n";
  std::string lines;
  size_t at = 0;
  while (at < raw.size()) {
    if (raw.compare(at, kPrompt.size(), kPrompt) == 0) {
      at += kPrompt.size();
      while (at < raw.size() && (raw[at] == '.' || raw[at] == ' ')) ++at;
      if (raw.compare(at, 2, "\r\n") == 0) at += 2;
      lines += kLinuxPrompt;
      continue;
    }
    const size_t end = raw.find("\r\n", at);
    const size_t stop = end == std::string::npos ? raw.size() : end;
    lines.append(raw, at, stop - at);
    if (end != std::string::npos) lines += '\n';
    at = end == std::string::npos ? raw.size() : end + 2;
  }
  return lines;
}

}  // namespace

RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const Environment& environment) {
  const fs::path roaming = platform::SpecialFolderPath(26);
  const fs::path system = roaming / fs::path(kSystemFolder).make_preferred();
  RemoveContent(roaming, system);

  const auto appData = environment.find("APPDATA");
  const bool mirrored = appData != environment.end() && appData->second != kUnset;
  // Folders of the run's APPDATA that hold only the system's folder in roaming.
  std::set<fs::path> absentBefore;
  if (mirrored) {
    CopyContent(appData->second, roaming, fs::path(), {});
    for (fs::path parent = fs::path(kSystemFolder).make_preferred().parent_path(); !parent.empty();
         parent = parent.parent_path()) {
      if (!fs::exists(fs::path(appData->second) / parent)) absentBefore.insert(parent);
    }
  }

  // The test runs in the build folder, on the drive that holds the executable.
  const std::string program = fs::absolute(KVBCONFIG_PATH).make_preferred().string();
  const std::string output = workFolder + ".out";
  const std::string errors = workFolder + ".err";
  std::string command = "cd /d " + Quote(workFolder) + " && " + Quote(program);
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  command += " <NUL >" + Quote(output) + " 2>" + Quote(errors);

  RunResult result;
  // The interpreter drops the outermost quotes of a command that has several.
  result.status = std::system(Quote(command).c_str());
  result.console = ConsoleAsLines(ReadBytes(output));
  result.errors = ReadBytes(errors);
  std::error_code error;
  fs::remove(output, error);
  fs::remove(errors, error);

  if (mirrored) {
    RemoveContent(appData->second, fs::path());
    CopyContent(roaming, appData->second, system, absentBefore);
  }
  RemoveContent(roaming, system);
  return result;
}

}  // namespace kvbtest
