// The version reader against the system's own reading of version resources, on every
// fixture and every program in the system folder.
#include <windows.h>

#include "platform/Platform.h"
#include "processor/ExeVersion.h"
#include "support/Support.h"

namespace {

std::string Words(int major, int minor, int build, int revision) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + "." +
         std::to_string(revision);
}

// "" when the system finds no well-formed fixed part.
std::string SystemVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::string info(size, '\0');
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, &info[0]) ||
      !VerQueryValueA(&info[0], "\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof *fixed || fixed->dwSignature != 0xFEEF04BD)
    return "";
  return Words(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
               HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

TEST(ExeVersionWin32Test, AgreesWithTheSystem) {
  int programs = 0, versions = 0, agreed = 0;
  for (const std::string folder : {KVB_TEST_DATA_DIR "\\data\\exe\\", "C:\\windows\\system32\\"}) {
    std::vector<platform::DirEntry> entries;
    platform::FindFiles(folder + "*.exe", &entries);
    for (const platform::DirEntry& entry : entries) {
      // Wine's reading follows the damaged offsets out of its memory and crashes, and
      // reads the missing end of the cut one as zeros.
      if (entry.name == "outside.exe" || entry.name == "truncated.exe") continue;
      ExeVersion::Version v;
      std::string why;
      const std::string path = folder + entry.name, system = SystemVersion(path);
      const std::string ours =
          ExeVersion::Read(path, &v, &why) ? Words(v.major, v.minor, v.build, v.revision) : "";
      ++programs;
      versions += !system.empty();
      agreed += ours == system;
      EXPECT_EQ(ours, system) << path << ": " << why;
    }
  }
  std::printf("%d of %d programs (%d with a version) read as the system reads them\n", agreed,
              programs, versions);
  EXPECT_GE(programs, 50);
}

}  // namespace
