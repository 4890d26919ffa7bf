// The build worker: one simulator pass rebuilds every package's aircraft.cfg and
// panel folder, the client's traffic database and the library's registration in
// the simulator's configuration file. Keeps no state between calls; a fresh
// worker serves each pass.
#pragma once

#include <string>

class ConfigReader;
class LineWriter;

class KVBProcessor {
 public:
  KVBProcessor() = default;
  virtual ~KVBProcessor() = default;

  /// versionCode 10 is FSX, anything else Prepar3D.
  void ProcessSimulator(int versionCode, const std::string& simulatorFolder,
                        const std::string& clientFolder, bool hidden);

  void ProcessAircraft(const std::string& packageFolder, LineWriter& database, bool hidden);

  /// Copies vorn.cfg line by line into a new aircraft.cfg; false when a line
  /// names the helicopter section. `wholeCopy`, when given, tells whether
  /// aircraft.cfg now holds every line of vorn.cfg (or is a new empty file where
  /// vorn.cfg cannot be opened).
  bool CopyBaseConfig(const std::string& packageFolder, const std::string& aircraftCfgPath,
                      bool* wholeCopy = nullptr);

  /// Deletes a folder with everything in it, never following a link.
  void DeleteFolder(const std::string& folder);

  void ProcessLivery(const std::string& liveryFolder, ConfigReader& aircraftCfg, int index,
                     LineWriter& database, double staticCgHeight, double staticPitch,
                     bool isAirplane, bool hidden);

  /// Registers the library folder in the simulator's configuration file.
  void UpdateSimConfig(int versionCode);
};
