// kvb_floor: the file-system work of one kvbconfig run on a generated library,
// with no parsing, as the yardstick that the tool is measured against.
//
// A run does, for FSX and then for Prepar3D, what the tool cannot avoid:
//   - reads the two settings files once;
//   - lists the library folder and each package folder (names filtered and
//     sorted as the tool's listing sorts them);
//   - creates the traffic database empty, then per livery appends one record
//     in one write, as the tool must (one flush per record); the console gets
//     one write per livery line too;
//   - per package: removes the panel folder (hidden, the default) or creates it
//     with an empty panel.cfg (--show); reads vorn.cfg once; reads vorn.ini and
//     vorn.liv of every livery once; writes aircraft.cfg once, in one write of
//     the size that the tool's aircraft.cfg has;
//   - reads the simulator's configuration file and writes it once with the size
//     the tool gives it, flushed to the disk before it is closed.
// It never writes through a temporary file: the tool must, the floor need not.
//
// The floor cannot know without parsing how many bytes the tool writes, so the
// sizes come from a manifest that `--record` makes once, untimed, from the
// output of a kvbconfig run on the same library (the aircraft.cfg files, the
// traffic database, the captured console output and the two simulator files).
// The generated libraries of both simulators are the same, so the records of
// the database, which holds the last pass, serve for both passes.
//
//   kvb_floor --record --root DIR --manifest FILE --console FILE
//   kvb_floor --root DIR --manifest FILE [--show]
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

const char* const kSimulators[] = {"FSX", "Prepar3D"};

struct Paths {
  fs::path root;
  fs::path Library(int sim) const { return root / kSimulators[sim] / "SimObjects" / "VORN_KVB"; }
  fs::path Settings() const { return root / "appdata" / "VORN" / "Zaro" / "config"; }
  fs::path SimulatorConfig(int sim) const {
    return sim == 0 ? root / "appdata" / "Microsoft" / "FSX" / "fsx.cfg"
                    : root / "appdata" / "Lockheed Martin" / "Prepar3D" / "Prepar3D.CFG";
  }
  fs::path Database() const { return root / "client" / "data" / "kvb.dat"; }
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "kvb_floor: " << message << "\n";
  std::exit(1);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool StartsWithNoCase(const std::string& name, const char* prefix) {
  const size_t length = std::strlen(prefix);
  if (name.size() < length) return false;
  for (size_t i = 0; i < length; ++i)
    if (Upper(name[i]) != Upper(prefix[i])) return false;
  return true;
}

/// The folders below `folder` whose names start with `prefix`, in the tool's
/// listing order. The tool's livery pattern also wants "texture" alone or a dot
/// after it; the generated library has nothing else, so the prefix suffices.
std::vector<std::string> ListFolders(const fs::path& folder, const char* prefix) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (StartsWithNoCase(name, prefix) && it->is_directory(error)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), platform::ListingLess);
  return names;
}

/// Reads a whole file into `buffer`; the floor never looks at the bytes.
size_t ReadFile(const fs::path& path, std::vector<char>& buffer) {
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (!file) return 0;
  size_t total = 0;
  for (;;) {
    if (buffer.size() - total < 65536) buffer.resize(buffer.size() + 65536);
    const size_t count = std::fread(buffer.data() + total, 1, buffer.size() - total, file);
    total += count;
    if (count == 0) break;
  }
  std::fclose(file);
  return total;
}

const char* Filler(size_t size) {
  static std::string filler;
  if (filler.size() < size) filler.assign(size, 'x');
  return filler.data();
}

void WriteFile(const fs::path& path, size_t size) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) Fail("cannot write " + path.string());
  std::setvbuf(file, nullptr, _IONBF, 0);  // one write call
  std::fwrite(Filler(size), 1, size, file);
  std::fclose(file);
}

/// The byte counts of one package: its aircraft.cfg, then per livery the
/// database record and the console line.
struct PackageSizes {
  std::string name;
  size_t aircraftCfg = 0;
  std::vector<std::pair<size_t, size_t>> liveries;
};

std::string FormatPackage(const PackageSizes& sizes) {
  std::ostringstream line;
  line << sizes.name << ' ' << sizes.aircraftCfg << ' ' << sizes.liveries.size();
  for (const auto& livery : sizes.liveries) line << ' ' << livery.first << ' ' << livery.second;
  return line.str();
}

bool ParsePackage(const std::string& text, PackageSizes* sizes) {
  std::istringstream line(text);
  size_t count = 0;
  if (!(line >> sizes->name >> sizes->aircraftCfg >> count)) return false;
  sizes->liveries.resize(count);
  for (auto& livery : sizes->liveries)
    if (!(line >> livery.first >> livery.second)) return false;
  return true;
}

int Record(const Paths& paths, const fs::path& manifestPath, const fs::path& consolePath) {
  // Database records in order; for each, the console line is title, blank, variation.
  std::ifstream database(paths.Database(), std::ios::binary);
  std::vector<std::pair<size_t, size_t>> records;
  for (std::string line; std::getline(database, line);) {
    const size_t firstComma = line.find(',');
    const size_t secondComma = line.find(',', firstComma + 1);
    if (secondComma == std::string::npos) Fail("unexpected database record: " + line);
    records.push_back({line.size() + 1, secondComma + 1});  // CR LF; text, blank, text, LF
  }
  std::error_code error;
  const auto consoleBytes = fs::file_size(consolePath, error);
  if (error) Fail("cannot read " + consolePath.string());

  std::vector<std::string> manifest;
  size_t consoleLiveries = 0;
  std::vector<std::string> firstListing;
  for (int sim = 0; sim < 2; ++sim) {
    const auto simulatorBytes = fs::file_size(paths.SimulatorConfig(sim), error);
    if (error) Fail("cannot read " + paths.SimulatorConfig(sim).string());
    manifest.push_back("sim " + std::to_string(simulatorBytes));
    size_t next = 0;
    std::vector<std::string> listing;
    for (const std::string& package : ListFolders(paths.Library(sim), "VORN_")) {
      PackageSizes sizes;
      sizes.name = package;
      sizes.aircraftCfg = fs::file_size(paths.Library(sim) / package / "aircraft.cfg", error);
      if (error) Fail("no aircraft.cfg in " + package + ": run kvbconfig first");
      for (const std::string& livery : ListFolders(paths.Library(sim) / package, "texture")) {
        if (next == records.size()) Fail("fewer database records than liveries");
        sizes.liveries.push_back(records[next++]);
        consoleLiveries += sizes.liveries.back().second;
        listing.push_back(package + "/" + livery);
      }
      manifest.push_back(FormatPackage(sizes));
    }
    if (next != records.size()) Fail("more database records than liveries");
    if (sim == 0) firstListing = listing;
    if (sim == 1 && listing != firstListing) Fail("the two simulators' libraries differ");
  }
  if (consoleLiveries > consoleBytes) Fail("console capture shorter than the livery lines");
  std::ofstream out(manifestPath, std::ios::binary | std::ios::trunc);
  out << "console " << consoleBytes - consoleLiveries << "\n";
  for (const std::string& line : manifest) out << line << "\n";
  if (!out.flush()) Fail("cannot write " + manifestPath.string());
  return 0;
}

int Run(const Paths& paths, const fs::path& manifestPath, bool hidden) {
  // Streamed line by line: the floor's memory must not grow with the library.
  std::ifstream manifest(manifestPath, std::ios::binary);
  std::string line;
  if (!std::getline(manifest, line) || line.compare(0, 8, "console ") != 0) Fail("bad manifest");
  const size_t consoleExtra = std::stoul(line.substr(8));

  std::vector<char> buffer;
  ReadFile(paths.Settings() / "zaro.ini", buffer);
  ReadFile(paths.Settings() / "pilot.cfg", buffer);
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  std::fwrite(Filler(consoleExtra), 1, consoleExtra, stdout);
  std::fflush(stdout);

  for (int sim = 0; sim < 2; ++sim) {
    if (!std::getline(manifest, line) || line.compare(0, 4, "sim ") != 0) Fail("bad manifest");
    const size_t simulatorBytes = std::stoul(line.substr(4));

    std::FILE* database = std::fopen(paths.Database().string().c_str(), "wb");
    if (!database) Fail("cannot write " + paths.Database().string());
    const fs::path library = paths.Library(sim);
    for (const std::string& package : ListFolders(library, "VORN_")) {
      PackageSizes sizes;
      if (!std::getline(manifest, line) || !ParsePackage(line, &sizes) || sizes.name != package)
        Fail("manifest does not match the library at " + package);
      const fs::path folder = library / package;
      const std::vector<std::string> liveries = ListFolders(folder, "texture");
      if (liveries.size() != sizes.liveries.size()) Fail("livery count differs in " + package);
      std::error_code error;
      if (hidden) {
        fs::remove(folder / "panel", error);
      } else {
        fs::create_directory(folder / "panel", error);
        WriteFile(folder / "panel" / "panel.cfg", 0);
      }
      ReadFile(folder / "vorn.cfg", buffer);
      for (size_t i = 0; i < liveries.size(); ++i) {
        ReadFile(folder / liveries[i] / "vorn.ini", buffer);
        ReadFile(folder / liveries[i] / "vorn.liv", buffer);
        std::fwrite(Filler(sizes.liveries[i].first), 1, sizes.liveries[i].first, database);
        std::fflush(database);
        std::fwrite(Filler(sizes.liveries[i].second), 1, sizes.liveries[i].second, stdout);
        std::fflush(stdout);
      }
      WriteFile(folder / "aircraft.cfg", sizes.aircraftCfg);
    }
    std::fclose(database);

    const fs::path simulatorConfig = paths.SimulatorConfig(sim);
    ReadFile(simulatorConfig, buffer);
    platform::File file;
    if (file.Open(simulatorConfig.string(), platform::File::Mode::kWriteTruncate) !=
            platform::Status::kOk ||
        !file.Write(Filler(simulatorBytes), simulatorBytes) || !file.Sync())
      Fail("cannot write " + simulatorConfig.string());
  }
  return 0;
}

int Usage() {
  std::cerr << "usage: kvb_floor --record --root DIR --manifest FILE --console FILE\n"
               "       kvb_floor --root DIR --manifest FILE [--show]\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  Paths paths;
  fs::path manifest;
  fs::path console;
  bool record = false;
  bool hidden = true;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--record")
      record = true;
    else if (option == "--show")
      hidden = false;
    else if (option == "--root" && hasValue)
      paths.root = argv[++i];
    else if (option == "--manifest" && hasValue)
      manifest = argv[++i];
    else if (option == "--console" && hasValue)
      console = argv[++i];
    else
      return Usage();
  }
  if (paths.root.empty() || manifest.empty() || (record && console.empty())) return Usage();
  return record ? Record(paths, manifest, console) : Run(paths, manifest, hidden);
}
