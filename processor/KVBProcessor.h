// The build worker: one simulator pass rebuilds every package's aircraft.cfg and
// panel folder, the client's traffic database and the library's registration where
// the simulator's version looks for it. Keeps no state between calls; a fresh
// worker serves each pass.
#pragma once

#include <string>

#include "processor/ReadAhead.h"

class ConfigReader;
class LineWriter;

class KVBProcessor {
 public:
  KVBProcessor() = default;
  virtual ~KVBProcessor() = default;

  /// versionCode: the simulator's code in the table of simulators (10 FSX, 11 Prepar3D).
  void ProcessSimulator(int versionCode, const std::string& simulatorFolder,
                        const std::string& clientFolder, bool hidden);

  /// What became of a package, for the report's counts. kSkipped: no livery
  /// folder, or the folder could not be listed; the package is left as it is.
  /// `ahead`: the package's files read ahead, if any.
  enum class PackageOutcome { kRewritten, kUpToDate, kFailed, kSkipped };
  PackageOutcome ProcessAircraft(const std::string& packageFolder, LineWriter& database,
                                 bool hidden, const ReadAhead::Package* ahead = nullptr);

  /// Opens `aircraftCfg` on `aircraftCfgPath` with the document that a line by line
  /// copy of vorn.cfg (at `baseCfgPath`, "" when the package has none) would give;
  /// false when a line names the helicopter section. `wholeCopy` tells whether
  /// vorn.cfg could be read to its end.
  bool CopyBaseConfig(const std::string& baseCfgPath, const std::string& aircraftCfgPath,
                      ConfigReader* aircraftCfg, bool* wholeCopy,
                      const ReadAhead::Package* ahead = nullptr);

  /// Deletes a folder with everything in it, never following a link; reports what
  /// it has to leave. True when the folder is gone.
  bool DeleteFolder(const std::string& folder);

  void ProcessLivery(const std::string& liveryFolder, ConfigReader& aircraftCfg, int index,
                     LineWriter& database, double staticCgHeight, double staticPitch,
                     bool isAirplane, bool hidden, const ReadAhead::Package* ahead = nullptr);

  /// Registers the library folder where the simulator's version, read from its
  /// executable in `simulatorFolder`, looks for it, and reports what was done.
  void UpdateSimConfig(int versionCode, const std::string& simulatorFolder);

  /// Brings the add-on package in `addOnsFolder` below Documents to the library of
  /// `simulatorFolder`, for Prepar3D 3.3 and later.
  void RegisterAddOn(const char* simulator, const std::string& simulatorFolder,
                     const std::string& addOnsFolder);

  /// Adds the library's SimObjectPaths key to the configuration file at `path`,
  /// changing nothing else of it, unless the library is listed there already.
  void AddLibraryKey(const char* simulator, const std::string& path);
};
