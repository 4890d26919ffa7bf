#include "app/Application.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "diag/Report.h"
#include "platform/Platform.h"
#include "processor/KVBProcessor.h"
#include "processor/Simulator.h"
#include "settings/Configuration.h"

namespace {

constexpr const char* kNotice = "Copyright (C) VORN network. All rights reserved.";

bool IsHelp(const char* argument) {
  for (const char* help : {"--help", "-h", "-?", "/?"})
    if (std::strcmp(argument, help) == 0) return true;
  return false;
}

void PrintHelp() {
  const std::string text =
      std::string() +
      "kvbconfig " KVB_VERSION
      ": rebuilds the configuration of the Kavbel, the VORN network's\n"
      "library of multiplayer aircraft models, for FSX and Prepar3D.\n"
      "\n"
      "Usage: kvbconfig [--hidden | --show] [--dbexport]\n"
      "  --hidden            hide the library's aircraft from the simulator's aircraft\n"
      "                      selection (the default)\n"
      "  --show              show them\n"
      "  --dbexport          database export mode: only adds a line to the banner\n"
      "  --help, -h, -?, /?  print this text\n"
      "  --version           print the tool's version\n"
      "Options must be written exactly; anything else is ignored.\n"
      "\n"
      "Settings, read and never written: config\\zaro.ini and config\\pilot.cfg in\n"
      "<application data>\\VORN\\Zaro, where <application data> is, on this system,\n"
      "  " +
      platform::AppDataFolderRule() +
      ".\n"
      "For FSX, then Prepar3D, when the settings name its folder, kvbconfig rewrites\n"
      "  <simulator>\\SimObjects\\VORN_KVB\\VORN_*\\aircraft.cfg and the package's panel folder,\n"
      "  <client>\\data\\kvb.dat, the client's traffic database,\n"
      "and registers the library where the simulator's version, read from fsx.exe or\n"
      "Prepar3D.exe, looks for it: one SimObjectPaths line added to that version's own\n"
      "fsx.cfg, fsx_se.cfg or Prepar3D.cfg in <application data>, every other byte kept,\n"
      "or for Prepar3D 3.3 and later an add-on package in Documents.\n"
      "\n"
      "Standard output lists the liveries; standard error reports what was done and what\n"
      "could not be done. The exit status is always 0.";
  for (size_t begin = 0; begin <= text.size();) {
    const size_t end = std::min(text.find('\n', begin), text.size());
    platform::WriteConsoleLine(text.substr(begin, end - begin));
    begin = end + 1;
  }
}

// Where the settings came from, or why they did not.
void ReportSettings(const Configuration& configuration) {
  const std::string path = Report::Path(configuration.GetSettingsFilePath());
  const platform::Result& load = configuration.GetSettingsLoad();
  // Settings that were not read explain by themselves why nothing is named.
  if (load == platform::Status::kNotFound) {
    Report::Line("settings file " + path + " not found: " + platform::AppDataFolderOrigin());
  } else if (!load.Ok()) {
    Report::Failure("read", configuration.GetSettingsFilePath(), load);
  } else {
    Report::Line("settings read from " + path);
    if (configuration.GetFsxPath().empty() && configuration.GetPrepar3dPath().empty())
      Report::Line(
          "the settings name no simulator folder (fsx_path, prepar3d_path under [INSTALL]): "
          "nothing to do");
  }
}

}  // namespace

int RunKvbConfig(int argc, char* argv[]) {
  // Asking for help or the version never touches a file, whatever else is given.
  bool help = false;
  bool version = false;
  for (int i = 1; i < argc; ++i) {
    help = help || IsHelp(argv[i]);
    version = version || std::strcmp(argv[i], "--version") == 0;
  }
  if (help) {
    PrintHelp();
    return 0;
  }
  if (version) {
    platform::WriteConsoleLine("kvbconfig " KVB_VERSION);
    return 0;
  }

  bool databaseExport = false;
  bool hidden = true;
  // Exact, case-sensitive matches only; anything else is ignored.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dbexport") == 0) databaseExport = true;
    if (std::strcmp(argv[i], "--hidden") == 0) hidden = true;
    if (std::strcmp(argv[i], "--show") == 0) hidden = false;
  }

  platform::WriteConsoleLine("Kavbel configuration builder.");
  if (databaseExport) platform::WriteConsoleLine("Running in database export mode");
  platform::WriteConsoleLine(kNotice);
  platform::WriteConsoleLine("");
  if (hidden) platform::WriteConsoleLine("KVB aircraft will be hidden in FS");

  Configuration* configuration = Configuration::GetInstance();
  ReportSettings(*configuration);
  const std::string& installPath = configuration->GetInstallPath();

  // FSX always first; each pass gets a worker of its own. A simulator whose
  // folder is not set is not touched at all.
  for (const Simulator& simulator : Simulator::kAll) {
    const std::string& folder = (configuration->*simulator.folder)();
    if (folder.empty()) continue;
    platform::WriteConsoleLine(std::string("Updating ") + simulator.name + " (" + folder + ") ...");
    KVBProcessor processor;
    processor.ProcessSimulator(simulator.code, folder, installPath, hidden);
  }

  Configuration::Release();
  return 0;
}
