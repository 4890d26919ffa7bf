// Runs the Windows build (under Wine on Linux) through the command interpreter. It finds
// the application-data folder through the shell, not APPDATA: the tool's folders in the
// run's APPDATA folder replace those of the real roaming folder, and come back after.
#include "platform/Platform.h"
#include "support/Support.h"

const bool kRunsLinuxOnlyScenarios = false;

bool MakeSpecial(const std::vector<std::string>&, const fs::path&) { return false; }

namespace {

// What the tool reads and writes in the roaming folder and in Documents; nothing
// else there is touched.
const std::vector<std::string> kRoamingFolders = {"VORN", "Microsoft/FSX", "Microsoft/FSX-SE",
                                                  "Lockheed Martin"};
const std::vector<std::string> kDocumentsFolders = {"Prepar3D v3 Files", "Prepar3D v4 Add-ons",
                                                    "Prepar3D v5 Add-ons", "Prepar3D v6 Add-ons"};

// Replaces the tool's folders in `to` by those in `from`, read-only files, times and all:
// the times tell what a run rewrote.
void CopyToolFolders(const fs::path& from, const fs::path& to,
                     const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    RemoveAll((to / folder).string());
    if (!fs::exists(from / folder)) continue;
    fs::create_directories((to / folder).parent_path());
    fs::copy(from / folder, to / folder, fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(from / folder))
      if (entry.is_regular_file())
        fs::last_write_time(to / folder / entry.path().lexically_relative(from / folder),
                            entry.last_write_time());
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
  const fs::path roaming = platform::SpecialFolderPath(26), none = roaming / "kvb-none";
  const auto appData = environment.find("APPDATA");
  CopyToolFolders(appData != environment.end() ? fs::path(appData->second) : none, roaming,
                  kRoamingFolders);
  // A scenario's Documents lies beside its AppData\Roaming, as on Windows.
  const fs::path documents = platform::SpecialFolderPath(5);
  std::string scenarioDocuments;
  if (appData != environment.end() && fs::path(appData->second).filename() == "Roaming") {
    // In the form the scenario gave, so that its root shows as the root.
    scenarioDocuments = appData->second;
    for (int up = 0; up < 2; ++up) scenarioDocuments.erase(scenarioDocuments.find_last_of("/\\"));
    scenarioDocuments += "/Documents";
  }
  CopyToolFolders(scenarioDocuments.empty() ? none : fs::path(scenarioDocuments), documents,
                  kDocumentsFolders);

  // The output goes beside the folder, so that it never shows in a snapshot. The
  // test runs in the build folder, on the drive that holds the executable.
  const std::string output = workFolder + ".out", errors = workFolder + ".err";
  std::string command = "cd /d " + Quote(workFolder) + " && " +
                        Quote(fs::absolute(KVBCONFIG_PATH).make_preferred().string());
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  command += " <NUL >" + Quote(output) + " 2>" + Quote(errors);
  // In the report, the roaming folder stands for the run's APPDATA folder, as above.
  std::string folder = appData == environment.end() ? "" : appData->second;
  folder.erase(folder.find_last_not_of("/\\") + 1);
  // The interpreter drops the outermost quotes of a command that holds several.
  RunResult result{
      std::system(Quote(command).c_str()), AsLinuxConsole(ReadBytes(output)),
      ReplaceAll(ReplaceAll(AsLinuxConsole(ReadBytes(errors)), roaming.string(), folder),
                 documents.string(), scenarioDocuments)};
  std::error_code error;
  fs::remove(output, error);
  fs::remove(errors, error);

  if (appData != environment.end()) CopyToolFolders(roaming, appData->second, kRoamingFolders);
  if (!scenarioDocuments.empty()) CopyToolFolders(documents, scenarioDocuments, kDocumentsFolders);
  CopyToolFolders(none, roaming, kRoamingFolders);
  CopyToolFolders(none, documents, kDocumentsFolders);
  return result;
}
