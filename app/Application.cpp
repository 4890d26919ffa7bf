#include "app/Application.h"

#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "processor/KVBProcessor.h"
#include "settings/Configuration.h"

namespace {

constexpr int kFsxCode = 10;
constexpr int kPrepar3dCode = 11;
constexpr const char* kNotice = "Copyright (C) VORN network. All rights reserved.";

}  // namespace

int RunKvbConfig(int argc, char* argv[]) {
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
  const std::string& fsxPath = configuration->GetFsxPath();
  const std::string& prepar3dPath = configuration->GetPrepar3dPath();
  const std::string& installPath = configuration->GetInstallPath();

  // FSX always first; each pass gets a worker of its own. A simulator whose
  // folder is not set is not touched at all.
  if (!fsxPath.empty()) {
    platform::WriteConsoleLine("Updating FSX (" + fsxPath + ") ...");
    KVBProcessor processor;
    processor.ProcessSimulator(kFsxCode, fsxPath, installPath, hidden);
  }
  if (!prepar3dPath.empty()) {
    platform::WriteConsoleLine("Updating Prepar3D (" + prepar3dPath + ") ...");
    KVBProcessor processor;
    processor.ProcessSimulator(kPrepar3dCode, prepar3dPath, installPath, hidden);
  }

  Configuration::Release();
  return 0;
}
