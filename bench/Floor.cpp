// kvb_floor: the file-system work that one kvbconfig run on a generated library
// cannot avoid, with no parsing, as the yardstick that the tool is measured
// against. Two modes, one per case of the benchmark:
//
//   --mode full    every vorn.cfg changed since the last run: everything is written
//   --mode rerun   nothing changed: what exists is read, and left as it is
//
// Both do, for each simulator whose library the manifest names (FSX first):
//   - read the two settings files once (before the first simulator);
//   - list the library folder and each package folder (names filtered and
//     sorted as the tool's listing sorts them);
//   - create the traffic database empty, then per livery write one record in
//     one write, as the tool must (a flush per record); the console gets one
//     write per livery line too;
//   - read each package's vorn.cfg, and vorn.ini and vorn.liv of every livery, once;
//   - read the simulator's configuration file.
// Full also writes each aircraft.cfg once, in one write of the tool's size, to
// aircraft.cfg.kvbtmp and renames it over aircraft.cfg; and writes the simulator's
// file with the tool's size to a temporary file that is synced, then renamed.
// Rerun reads each existing aircraft.cfg instead and writes neither.
// Neither touches panel folders: the generated library has none, and the hidden
// mode leaves none.
//
// The floor cannot know without parsing how many bytes the tool writes, so the
// sizes come from a manifest that `--record` makes once, untimed, from the
// output of a kvbconfig run on the same library (the aircraft.cfg files, the
// traffic database, the captured console output and the simulator files). When
// both simulators hold the library, the two are the same, so the records of the
// database, which holds the last pass, serve for both passes.
//
//   kvb_floor --record --root DIR --manifest FILE --console FILE
//   kvb_floor --mode full|rerun --root DIR --manifest FILE
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
constexpr int kSimulatorCount = 2;

struct Paths {
  std::string root;
  std::string Library(int sim) const {
    return root + "/" + kSimulators[sim] + "/SimObjects/VORN_KVB";
  }
  std::string Settings() const { return root + "/appdata/VORN/Zaro/config"; }
  std::string SimulatorConfig(int sim) const {
    return sim == 0 ? root + "/appdata/Microsoft/FSX/fsx.cfg"
                    : root + "/appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG";
  }
  std::string Database() const { return root + "/client/data/kvb.dat"; }
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "kvb_floor: " << message << "\n";
  std::exit(1);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool StartsWithNoCase(const char* name, const char* prefix) {
  for (; *prefix; ++name, ++prefix)
    if (Upper(*name) != Upper(*prefix)) return false;
  return true;
}

// The tool's patterns: "VORN_*.*" takes every name that starts with VORN_, and
// "texture.*" takes "texture" and every "texture.<name>".
bool IsPackage(const char* name) { return StartsWithNoCase(name, "VORN_"); }
bool IsLivery(const char* name) {
  return StartsWithNoCase(name, "texture") && (name[7] == '\0' || name[7] == '.');
}

/// The folders in `folder` whose names pass `wanted`, in the tool's listing
/// order; empty when the folder cannot be listed.
std::vector<std::string> ListFolders(const std::string& folder, bool (*wanted)(const char*)) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const struct dirent* entry = readdir(dir)) {
    if (!wanted(entry->d_name)) continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      // Only file systems that give no type cost a look at each entry.
      struct stat info;
      isFolder = fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    if (isFolder) names.emplace_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end(), platform::ListingLess);
  return names;
}

/// Reads a whole file into `buffer` (the floor never looks at the bytes): the
/// open, reads until the end, the close.
size_t ReadFile(const std::string& path, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot read " + path);
  size_t total = 0;
  for (;;) {
    if (buffer.size() - total < 65536) buffer.resize(buffer.size() + (1 << 18));
    const ssize_t count = ::read(fd, buffer.data() + total, buffer.size() - total);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) Fail("cannot read " + path);
    if (count == 0) break;
    total += size_t(count);
  }
  ::close(fd);
  return total;
}

const char* Filler(size_t size) {
  static std::string filler;
  if (filler.size() < size) filler.assign(size, 'x');
  return filler.data();
}

void WriteAll(int fd, size_t size, const std::string& what) {
  const char* data = Filler(size);
  while (size > 0) {
    const ssize_t count = ::write(fd, data, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) Fail("cannot write " + what);
    data += count;
    size -= size_t(count);
  }
}

/// Writes `size` bytes to "<path>.kvbtmp" in one write, syncs it when asked,
/// and renames it over `path`.
void ReplaceFile(const std::string& path, size_t size, bool sync) {
  const std::string temporary = path + ".kvbtmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) Fail("cannot write " + temporary);
  WriteAll(fd, size, temporary);
  if (sync && fsync(fd) != 0) Fail("cannot sync " + temporary);
  if (::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0)
    Fail("cannot replace " + path);
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

int Record(const Paths& paths, const std::string& manifestPath, const std::string& consolePath) {
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
  if (error) Fail("cannot read " + consolePath);

  std::vector<std::string> manifest;
  size_t consoleLiveries = 0;
  std::vector<std::string> firstListing;
  int simulators = 0;
  for (int sim = 0; sim < kSimulatorCount; ++sim) {
    if (!fs::is_directory(paths.Library(sim), error)) continue;
    const auto simulatorBytes = fs::file_size(paths.SimulatorConfig(sim), error);
    if (error) Fail("cannot read " + paths.SimulatorConfig(sim));
    manifest.push_back("sim " + std::to_string(sim) + " " + std::to_string(simulatorBytes));
    size_t next = 0;
    std::vector<std::string> listing;
    for (const std::string& package : ListFolders(paths.Library(sim), IsPackage)) {
      const std::string folder = paths.Library(sim) + "/" + package;
      PackageSizes sizes;
      sizes.name = package;
      sizes.aircraftCfg = fs::file_size(folder + "/aircraft.cfg", error);
      if (error) Fail("no aircraft.cfg in " + package + ": run kvbconfig first");
      for (const std::string& livery : ListFolders(folder, IsLivery)) {
        if (next == records.size()) Fail("fewer database records than liveries");
        sizes.liveries.push_back(records[next++]);
        consoleLiveries += sizes.liveries.back().second;
        listing.push_back(package + "/" + livery);
      }
      manifest.push_back(FormatPackage(sizes));
    }
    if (next != records.size()) Fail("more database records than liveries");
    if (simulators++ == 0)
      firstListing = listing;
    else if (listing != firstListing)
      Fail("the two simulators' libraries differ");
  }
  if (simulators == 0) Fail("no library under " + paths.root);
  if (consoleLiveries > consoleBytes) Fail("console capture shorter than the livery lines");
  std::ofstream out(manifestPath, std::ios::binary | std::ios::trunc);
  out << "console " << consoleBytes - consoleLiveries << "\n";
  for (const std::string& line : manifest) out << line << "\n";
  if (!out.flush()) Fail("cannot write " + manifestPath);
  return 0;
}

int Run(const Paths& paths, const std::string& manifestPath, bool full) {
  // Streamed line by line, so that the floor's memory does not grow with the
  // library; a large buffer keeps its own reads out of the system-call count.
  static char manifestBuffer[1 << 20];
  std::ifstream manifest;
  manifest.rdbuf()->pubsetbuf(manifestBuffer, sizeof manifestBuffer);
  manifest.open(manifestPath, std::ios::binary);
  std::string line;
  if (!std::getline(manifest, line) || line.compare(0, 8, "console ") != 0) Fail("bad manifest");
  const size_t consoleExtra = std::stoul(line.substr(8));

  std::vector<char> buffer;
  ReadFile(paths.Settings() + "/zaro.ini", buffer);
  ReadFile(paths.Settings() + "/pilot.cfg", buffer);
  WriteAll(STDOUT_FILENO, consoleExtra, "the console");

  while (std::getline(manifest, line)) {
    int sim = -1;
    size_t simulatorBytes = 0;
    if (std::sscanf(line.c_str(), "sim %d %zu", &sim, &simulatorBytes) != 2 || sim < 0 ||
        sim >= kSimulatorCount)
      Fail("bad manifest");

    const std::string databasePath = paths.Database();
    const int database =
        ::open(databasePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (database < 0) Fail("cannot write " + databasePath);
    const std::string library = paths.Library(sim);
    for (const std::string& package : ListFolders(library, IsPackage)) {
      PackageSizes sizes;
      if (!std::getline(manifest, line) || !ParsePackage(line, &sizes) || sizes.name != package)
        Fail("manifest does not match the library at " + package);
      const std::string folder = library + "/" + package;
      const std::vector<std::string> liveries = ListFolders(folder, IsLivery);
      if (liveries.size() != sizes.liveries.size()) Fail("livery count differs in " + package);
      ReadFile(folder + "/vorn.cfg", buffer);
      for (size_t i = 0; i < liveries.size(); ++i) {
        const std::string livery = folder + "/" + liveries[i];
        ReadFile(livery + "/vorn.ini", buffer);
        ReadFile(livery + "/vorn.liv", buffer);
        WriteAll(database, sizes.liveries[i].first, databasePath);
        WriteAll(STDOUT_FILENO, sizes.liveries[i].second, "the console");
      }
      if (full)
        ReplaceFile(folder + "/aircraft.cfg", sizes.aircraftCfg, false);
      else
        ReadFile(folder + "/aircraft.cfg", buffer);
    }
    ::close(database);

    const std::string simulatorConfig = paths.SimulatorConfig(sim);
    ReadFile(simulatorConfig, buffer);
    if (full) ReplaceFile(simulatorConfig, simulatorBytes, true);
  }
  return 0;
}

int Usage() {
  std::cerr << "usage: kvb_floor --record --root DIR --manifest FILE --console FILE\n"
               "       kvb_floor --mode full|rerun --root DIR --manifest FILE\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  Paths paths;
  std::string manifest;
  std::string console;
  std::string mode;
  bool record = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--record")
      record = true;
    else if (option == "--mode" && hasValue)
      mode = argv[++i];
    else if (option == "--root" && hasValue)
      paths.root = argv[++i];
    else if (option == "--manifest" && hasValue)
      manifest = argv[++i];
    else if (option == "--console" && hasValue)
      console = argv[++i];
    else
      return Usage();
  }
  if (paths.root.empty() || manifest.empty()) return Usage();
  if (record) return console.empty() || !mode.empty() ? Usage() : Record(paths, manifest, console);
  if (mode != "full" && mode != "rerun") return Usage();
  return Run(paths, manifest, mode == "full");
}
