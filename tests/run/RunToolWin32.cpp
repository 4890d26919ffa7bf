// Runs the Windows build of the tool (under Wine when tested on Linux) through the
// command interpreter. That build finds the application-data folder through the
// shell, not APPDATA: the run's APPDATA folder is copied into the user's real
// roaming folder before the run and back after it, and the roaming folder is
// cleared around every run.

#include "RunHarness.h"
#include "platform/Platform.h"

namespace kvbtest {

const bool kRunsLinuxOnlyScenarios = false;

namespace {

const fs::perms kWritable =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
// The system's own folder inside the roaming folder, never touched.
const fs::path kSystemFolder = fs::path("Microsoft") / "Windows";

// Everything under `folder`, parents first; `skip` is listed but not entered.
std::vector<fs::path> Entries(const fs::path& folder, const fs::path& skip) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path() == skip) it.disable_recursion_pending();
    entries.push_back(it->path());
  }
  return entries;
}

// Everything inside `folder` but `keep` and the folders that hold it.
void RemoveContent(const fs::path& folder, const fs::path& keep) {
  const std::vector<fs::path> entries = Entries(folder, keep);
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const fs::path relative = keep.lexically_relative(*entry);
    if (!relative.empty() && *relative.begin() != "..") continue;  // `keep` or a parent
    std::error_code ignored;
    fs::permissions(*entry, fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove(*entry, ignored);
  }
}

// Copies files and folders, read-only files staying read-only. Left out: `skip`,
// and the folders in `notCreated` (relative to `from`) themselves.
void CopyContent(const fs::path& from, const fs::path& to, const fs::path& skip,
                 const std::set<fs::path>& notCreated) {
  for (const fs::path& entry : Entries(from, skip)) {
    const fs::path relative = entry.lexically_relative(from);
    std::error_code ignored;
    if (entry == skip) continue;
    if (fs::is_directory(entry, ignored)) {
      if (!notCreated.count(relative)) fs::create_directories(to / relative, ignored);
      continue;
    }
    fs::copy_file(entry, to / relative, fs::copy_options::overwrite_existing, ignored);
    if ((fs::status(entry, ignored).permissions() & kWritable) == fs::perms::none)
      fs::permissions(to / relative, kWritable, fs::perm_options::remove, ignored);
  }
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// Lines end in CR LF on Windows: those become LF (a bare LF is marked, so that it
// fails), and Wine's pause prompt (which, with no input, ends no line) becomes the
// Linux build's prompt and line end.
std::string AsLinuxConsole(const std::string& raw) {
  static const std::string kPrompt = "Press any key to continue";
  std::string lines;
  for (size_t at = 0; at < raw.size();) {
    if (raw.compare(at, kPrompt.size(), kPrompt) == 0) {
      at = std::min(raw.size(), raw.find_first_not_of(". ", at + kPrompt.size()));
      if (raw.compare(at, 2, "\r\n") == 0) at += 2;
      lines += kPrompt + " . . . \n";
      continue;
    }
    const size_t end = raw.find('\n', at);
    if (end == std::string::npos) return lines + raw.substr(at);
    const bool crLf = end > at && raw[end - 1] == '\r';
    lines.append(raw, at, end - at - (crLf ? 1 : 0));
    lines += crLf ? "\n" : " [LF without CR]\n";  // the expectation cannot hold that
    at = end + 1;
  }
  return lines;
}

}  // namespace

RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment) {
  const fs::path roaming = platform::SpecialFolderPath(26), system = roaming / kSystemFolder;
  RemoveContent(roaming, system);
  const auto appData = environment.find("APPDATA");
  std::set<fs::path> absent;  // folders above the system's that APPDATA lacks
  if (appData != environment.end()) {
    CopyContent(appData->second, roaming, fs::path(), {});
    for (fs::path parent = kSystemFolder.parent_path(); !parent.empty();
         parent = parent.parent_path())
      if (!fs::exists(appData->second / parent)) absent.insert(parent);
  }

  // The output goes beside the folder, so that it never shows in a snapshot. The
  // test runs in the build folder, on the drive that holds the executable.
  const std::string output = workFolder + ".out", errors = workFolder + ".err";
  std::string command = "cd /d " + Quote(workFolder) + " && " +
                        Quote(fs::absolute(KVBCONFIG_PATH).make_preferred().string());
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  command += " <NUL >" + Quote(output) + " 2>" + Quote(errors);
  // The interpreter drops the outermost quotes of a command that holds several.
  RunResult result{std::system(Quote(command).c_str()), AsLinuxConsole(ReadBytes(output)),
                   ReadBytes(errors)};
  std::error_code error;
  fs::remove(output, error);
  fs::remove(errors, error);

  if (appData != environment.end()) {
    RemoveContent(appData->second, fs::path());
    CopyContent(roaming, appData->second, system, absent);
  }
  RemoveContent(roaming, system);
  return result;
}

}  // namespace kvbtest
