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

// The system's own folder inside the roaming folder, never touched nor copied.
const fs::path kSystemFolder = fs::path("Microsoft") / "Windows";

// Removes what `folder` holds but `keep` (relative to it).
void Clear(const fs::path& folder, const fs::path& keep) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const fs::path name = entry.path().filename();
    if (keep.empty() || name != *keep.begin())
      RemoveAll(entry.path().string());
    else if (std::next(keep.begin()) != keep.end())
      Clear(entry.path(), keep.lexically_relative(name));
  }
}

// Copies what `from` holds into `to` but `skip` (relative to `from`); a folder
// is made only for something to copy. Read-only files stay read-only.
void Copy(const fs::path& from, const fs::path& to, const fs::path& skip) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(from, error)) {
    const fs::path name = entry.path().filename();
    const bool skipped = !skip.empty() && name == *skip.begin();
    // fs::copy refuses a folder that exists: its content is copied here instead.
    if (skipped || (entry.is_directory(error) && fs::is_directory(to / name, error))) {
      if (!skipped || std::next(skip.begin()) != skip.end())
        Copy(entry.path(), to / name, skipped ? skip.lexically_relative(name) : fs::path());
      continue;
    }
    fs::create_directories(to, error);
    fs::copy(entry.path(), to / name,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
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
                  std::map<std::string, std::string> environment) {
  const fs::path roaming = platform::SpecialFolderPath(26);
  const auto appData = environment.find("APPDATA");
  Clear(roaming, kSystemFolder);
  if (appData != environment.end()) Copy(appData->second, roaming, {});

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
    Clear(appData->second, {});
    Copy(roaming, appData->second, kSystemFolder);
  }
  Clear(roaming, kSystemFolder);
  return result;
}

}  // namespace kvbtest
