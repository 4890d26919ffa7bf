// kvb_genlib: writes a synthetic library for the benchmark from the templates in
// bench/data (the same bytes for the same seed): N packages of M liveries, under
// both simulators or FSX alone, and the settings files that make kvbconfig find them:
//   ROOT/FSX/SimObjects/VORN_KVB/VORN_<code>_<n>/vorn.cfg, texture.<name>/vorn.ini, vorn.liv
//   ROOT/Prepar3D/SimObjects/VORN_KVB/...   (the same packages)
//   ROOT/appdata/VORN/Zaro/config/zaro.ini, pilot.cfg; ROOT/client/data/; ROOT/home/
//   ROOT/appdata/Microsoft/FSX/fsx.cfg, ROOT/appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG
//   ROOT/pristine/fsx.cfg, Prepar3D.CFG   (copies, to restore between runs)
// A package is a copy of a template (names.txt gives their shares) with other names
// and other digits of the same width; UTF-16 templates hold ASCII text only. Only a
// ROOT with the marker of an earlier run is removed, or stamped (--stamp counts up
// kvb_bench_stamp in every vorn.cfg, in place, so that the next run rebuilds it).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kMarker[] = "kvb_genlib.made";
const char kStampKey[] = "kvb_bench_stamp=";
constexpr int kStampDigits = 8;
const char* const kOperatorKeys[] = {"operator", "code", "callsign"};  // then the prefix
using Fields = std::vector<std::string>;
using Values = std::map<std::string, std::string>;

// splitmix64: the standard distributions differ between libraries, this does not.
struct Random {
  uint64_t state;
  size_t Below(size_t n) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return size_t((z ^ (z >> 31)) % n);
  }
  const Fields& Pick(const std::vector<Fields>& items) { return items[Below(items.size())]; }
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "kvb_genlib: " << message << "\n";
  std::exit(1);
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in) Fail("cannot read " + path.string());
  return text;
}

void Write(const fs::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
  if (!out.flush()) Fail("cannot write " + path.string());
}

bool IsUtf16(const std::string& text) { return text.compare(0, 2, "\xFF\xFE") == 0; }
std::string Narrow(const std::string& wide) {
  std::string text;
  for (size_t i = 2; i + 1 < wide.size(); i += 2) text += wide[i];
  return text;
}
std::string Widen(const std::string& text) {
  std::string wide;
  for (char c : text) wide += std::string{c, '\0'};
  return wide;
}

/// Puts in the value of each {name} that `values` knows; other braces stay.
std::string Fill(std::string text, const Values& values) {
  for (size_t at = 0; (at = text.find('{', at)) != std::string::npos; ++at) {
    const size_t end = text.find('}', at);
    if (end == std::string::npos) break;
    const auto value = values.find(text.substr(at + 1, end - at - 1));
    if (value == values.end()) continue;
    text.replace(at, end - at + 1, value->second);
    at += value->second.size() - 1;  // the loop's ++at passes the value
  }
  return text;
}

/// New digits for every digit of a value that follows another digit: numbers keep
/// their width and first digit, so flags and one-digit counts stay as they are.
std::string Vary(std::string text, Random& random) {
  for (size_t line = 0; line < text.size();) {
    const size_t end = std::min(text.find('\n', line), text.size());
    const size_t first = text.find_first_not_of(" \t", line);
    const size_t equals = text.find('=', line);
    if (first < end && std::string(";#/[").find(text[first]) == std::string::npos)
      for (size_t i = equals + 1; equals < end && i < end; ++i)
        if (unsigned(text[i] - '0') < 10 && unsigned(text[i - 1] - '0') < 10)
          text[i] = char('0' + random.Below(10));
    line = end + 1;
  }
  return text;
}

/// The templates, and the lines of names.txt by kind ("shape", "type", ...).
struct Data {
  std::map<std::string, std::vector<Fields>> lists;
  std::map<std::string, std::string> templates;
  std::vector<std::string> slots;  // the template of each of 100 packages in turn
};

Data Load(const fs::path& folder) {
  const std::map<std::string, size_t> fieldCounts = {
      {"shape", 2}, {"type", 4}, {"operator", 4}, {"person", 1}};
  Data data;
  std::istringstream lines(Read(folder / "names.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    Fields fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '|');) fields.push_back(field);
    const auto count = fieldCounts.find(fields[0]);
    if (count == fieldCounts.end() || fields.size() != count->second + 1 ||
        std::count(fields.begin(), fields.end(), std::string()) > 0)
      Fail("names.txt: not a line of a known kind with every field: " + line);
    data.lists[fields[0]].emplace_back(fields.begin() + 1, fields.end());
  }
  if (data.lists["operator"].empty() || data.lists["person"].empty())
    Fail("names.txt names no operator or no person");
  for (const char* name : {"vorn.ini", "vorn.liv", "zaro.ini", "pilot.cfg", "fsx.cfg"})
    data.templates[name] = Read(folder / name);
  for (const Fields& shape : data.lists["shape"]) {
    data.templates[shape[0]] = Read(folder / shape[0]);
    data.slots.insert(data.slots.end(), size_t(std::clamp(std::atoi(shape[1].c_str()), 0, 100)),
                      shape[0]);
    auto& types = data.lists["type:" + shape[0]];
    for (const Fields& type : data.lists["type"])
      if (type[0] == shape[0]) types.push_back(type);
    if (types.empty()) Fail("names.txt gives no type for " + shape[0]);
  }
  if (data.slots.size() != 100) Fail("the shares of names.txt do not add up to 100");
  return data;
}

bool Marked(const fs::path& root) {
  std::error_code error;
  return fs::is_directory(fs::symlink_status(root, error)) &&
         fs::is_regular_file(fs::symlink_status(root / kMarker, error));
}

// What this program did not make may be a home or a simulator folder.
void Claim(const fs::path& root) {
  std::error_code error;
  if (fs::symlink_status(root, error).type() != fs::file_type::not_found) {
    if (!Marked(root))
      Fail(root.string() + " holds no " + kMarker +
           ": kvb_genlib did not make it and leaves it as it is; give another --root,"
           " or remove it by hand if it is an old library");
    fs::remove_all(root, error);
    if (error) Fail("cannot remove " + root.string() + ": " + error.message());
  }
  fs::create_directories(root, error);
  if (error) Fail("cannot create " + root.string() + ": " + error.message());
  Write(root / kMarker, "Made by kvb_genlib, which removes this folder when it remakes it.\n");
}

// Counts up the stamp of each vorn.cfg in place, in 8-bit or UTF-16 digits.
int Stamp(const fs::path& root) {
  if (!Marked(root)) Fail(root.string() + " holds no " + kMarker + ": nothing was stamped");
  long stamped = 0;
  for (const char* simulator : {"FSX", "Prepar3D"}) {
    std::error_code error;
    for (fs::directory_iterator it(root / simulator / "SimObjects" / "VORN_KVB", error), end;
         !error && it != end; it.increment(error), ++stamped) {
      const fs::path path = it->path() / "vorn.cfg";
      const std::string raw = Read(path);
      const bool wide = IsUtf16(raw);
      const std::string text = wide ? Narrow(raw) : raw;
      const size_t key = text.find(kStampKey);
      if (key == std::string::npos) Fail("no kvb_bench_stamp in " + path.string());
      const size_t value = key + sizeof kStampKey - 1;
      char next[kStampDigits + 1];
      std::snprintf(next, sizeof next, "%0*lu", kStampDigits,
                    (std::strtoul(text.c_str() + value, nullptr, 10) + 1) % 100000000ul);
      const std::string bytes = wide ? Widen(next) : next;
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(std::streamoff(wide ? 2 + 2 * value : value));
      if (!file.write(bytes.data(), std::streamsize(bytes.size())).flush())
        Fail("cannot stamp " + path.string());
    }
  }
  if (stamped == 0) Fail("no package to stamp under " + root.string());
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::map<std::string, std::string> options = {
      {"--root", ""},         {"--packages", ""},       {"--liveries", ""},
      {"--seed", "20261206"}, {"--simulators", "both"}, {"--data", KVB_BENCH_DATA}};
  bool stamp = false, usable = true;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--stamp")
      stamp = true;
    else if (options.count(option) > 0 && i + 1 < argc)
      options[option] = argv[++i];
    else
      usable = false;
  }
  const bool prepar3d = options["--simulators"] == "both";
  if (!usable || options["--root"].empty() || (!prepar3d && options["--simulators"] != "fsx") ||
      (!stamp && (options["--packages"].empty() || options["--liveries"].empty()))) {
    std::cerr << "usage: kvb_genlib --root DIR (--packages N --liveries M [--seed S]"
                 " [--simulators fsx|both] [--data DIR] | --stamp)\n";
    return 2;
  }
  const fs::path root = fs::absolute(options["--root"]);
  if (stamp) return Stamp(root);
  const long packages = std::strtol(options["--packages"].c_str(), nullptr, 10);
  const long liveries = std::strtol(options["--liveries"].c_str(), nullptr, 10);
  const uint64_t seed = std::strtoull(options["--seed"].c_str(), nullptr, 10);
  const Data data = Load(options["--data"]);  // before anything is removed
  Claim(root);

  const fs::path appData = root / "appdata";
  std::vector<std::pair<std::string, fs::path>> copies = {
      {"zaro.ini", appData / "VORN" / "Zaro" / "config" / "zaro.ini"},
      {"pilot.cfg", appData / "VORN" / "Zaro" / "config" / "pilot.cfg"},
      {"fsx.cfg", appData / "Microsoft" / "FSX" / "fsx.cfg"},
      {"fsx.cfg", root / "pristine" / "fsx.cfg"}};
  std::vector<fs::path> libraries = {root / "FSX" / "SimObjects" / "VORN_KVB"};
  if (prepar3d) {
    copies.push_back({"fsx.cfg", appData / "Lockheed Martin" / "Prepar3D" / "Prepar3D.CFG"});
    copies.push_back({"fsx.cfg", root / "pristine" / "Prepar3D.CFG"});
    libraries.push_back(root / "Prepar3D" / "SimObjects" / "VORN_KVB");
  }
  const Values paths = {{"fsx_path", (root / "FSX").string()},
                        {"prepar3d_path", prepar3d ? (root / "Prepar3D").string() : ""},
                        {"client_path", (root / "client").string()}};
  for (const auto& [name, path] : copies) {
    fs::create_directories(path.parent_path());
    Write(path, Fill(data.templates.at(name), paths));
  }
  for (const char* folder : {"client/data", "home"}) fs::create_directories(root / folder);

  const auto& operators = data.lists.at("operator");
  const auto& people = data.lists.at("person");
  std::vector<size_t> sizes;
  for (long p = 0; p < packages; ++p) {
    Random random{seed * 1000003ull + uint64_t(p)};
    // 41 is prime to 100: every 100 packages take each share exactly once.
    const std::string& shape = data.slots[size_t(p * 41 % 100)];
    const Fields& type = random.Pick(data.lists.at("type:" + shape));
    char number[24];
    std::snprintf(number, sizeof number, "%05ld", p);
    Values values = {{"type", type[1]}, {"icao", type[2]}, {"maker", type[3]}, {"package", number}};
    values["stamp"] = std::string(kStampDigits, '0');
    const std::string& base = data.templates.at(shape);
    const std::string cfg = Fill(Vary(IsUtf16(base) ? Narrow(base) : base, random), values);
    std::map<fs::path, std::string> files = {
        {"vorn.cfg", IsUtf16(base) ? "\xFF\xFE" + Widen(cfg) : cfg}};
    sizes.push_back(files["vorn.cfg"].size());

    std::map<std::string, int> uses;
    const size_t first = random.Below(operators.size());
    for (long l = 0; l < liveries; ++l) {
      const Fields& op = operators[(first + size_t(l)) % operators.size()];
      const int use = uses[op[1]]++;  // a second livery of one operator gets a number
      values["texture"] = op[1] + (use ? std::to_string(use + 1) : "");
      for (size_t k = 0; k < 3; ++k) values[kOperatorKeys[k]] = op[k];
      values["reg"] = op[3];  // then letters after a dash, else digits
      for (int i = 0; i < (op[3].back() == '-' ? 3 : 4); ++i)
        values["reg"] += char(op[3].back() == '-' ? 'A' + random.Below(26) : '1' + random.Below(9));
      for (const char* role : {"modeller", "fde", "painter"}) values[role] = random.Pick(people)[0];
      const fs::path livery = "texture." + values["texture"];
      files[livery / "vorn.ini"] = Fill(Vary(data.templates.at("vorn.ini"), random), values);
      files[livery / "vorn.liv"] = Fill(Vary(data.templates.at("vorn.liv"), random), values);
    }
    for (const fs::path& library : libraries) {
      const fs::path package = library / ("VORN_" + type[2] + "_" + number);
      for (const auto& [name, text] : files) {
        fs::create_directories((package / name).parent_path());
        Write(package / name, text);
      }
    }
  }
  if (sizes.empty()) sizes.push_back(0);
  std::sort(sizes.begin(), sizes.end());
  std::cout << "kvb_genlib: " << packages << " packages of " << liveries << " liveries under "
            << root.string() << (prepar3d ? ", FSX and Prepar3D" : ", FSX only")
            << "; vorn.cfg median " << sizes[sizes.size() / 2] << " bytes, " << sizes.front()
            << " to " << sizes.back() << "\n";
  return 0;
}
