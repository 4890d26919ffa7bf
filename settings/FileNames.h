// The fixed relative paths that the tool joins to a base folder with one
// backslash, and the tables of log files and titles indexed by logger number.
#pragma once

extern const char* const SettingsFileName;   // config\zaro.ini, in the user data folder
extern const char* const PilotFileName;      // config\pilot.cfg, in the user data folder
extern const char* const LibraryFolderName;  // SimObjects\VORN_KVB, in the simulator folder
extern const char* const DatabaseFileName;   // data\kvb.dat, in the client folder

extern const char* LogFileNames[3];
extern const char* LogTitles[3];
