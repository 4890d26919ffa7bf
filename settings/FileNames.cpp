#include "settings/FileNames.h"

namespace {

constexpr const char* kMainLogFileName = "logs\\Zaro_main.log";
constexpr const char* kMainLogTitle = "Main Program";
constexpr const char* kBootstrapLogFileName = "logs\\Zaro_bootstrap.log";
constexpr const char* kBootstrapLogTitle = "Bootstrapper";
constexpr const char* kLocksLogFileName = "logs\\Zaro_locks.log";
constexpr const char* kLocksLogTitle = "Thread Locking";

}  // namespace

const char* const SettingsFileName = "config\\zaro.ini";
const char* const PilotFileName = "config\\pilot.cfg";
const char* const LibraryFolderName = "SimObjects\\VORN_KVB";
const char* const DatabaseFileName = "data\\kvb.dat";

// Constant-initialised, so they are ready before any code runs.
const char* LogFileNames[3] = {kMainLogFileName, kBootstrapLogFileName, kLocksLogFileName};
const char* LogTitles[3] = {kMainLogTitle, kBootstrapLogTitle, kLocksLogTitle};
