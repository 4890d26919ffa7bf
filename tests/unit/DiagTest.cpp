// The debug logger, and the traced lock that writes to it.
#include <ctime>
#include <regex>
#include <thread>

#include "diag/ActiveDebugLogger.h"
#include "diag/CThreadLock.h"
#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/Support.h"

namespace {

const std::regex kStamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::gmtime(&now));
  return text;
}

// A log's first three lines, each stamp as <time>: the system's version is never 0,
// and on Linux it is the kernel release's first three numbers.
const std::string kHeader =
    R"(Zaro (.*) Debug Logfile - Created at <time>\r\n-{63}\r\n)"
    R"(\[<time>\] Zaro v2\.0\.2\.2773 / Windows v([1-9]\d*\.\d+\.\d+) .*\r\n)";

TEST(DiagTest, LoggerStartsItsFileAnewWithHeaderAndWholeStampedLines) {
  const char* const kLogs[][2] = {
      {"main", "Main Program"}, {"bootstrap", "Bootstrapper"}, {"locks", "Thread Locking"}};
  for (int logNumber = 0; logNumber < 3; ++logNumber) {
    TempDir folder;
    const std::string file = folder.Join("logs/Zaro_" + std::string(kLogs[logNumber][0]) + ".log");
    WriteBytes(file, std::string(4096, 'x') + "\r\nold\r\n");
    const std::string before = UtcNow();
    {
      ActiveDebugLogger logger(logNumber, folder.Path());
      logger.Write("[%d] lock acquired %s", -42, "ConfigReader::Load");
      logger.Write("x");
      logger.Write("two\nlines 100%%");
      std::vector<std::thread> threads;  // whole lines, never interleaved
      for (int t = 0; t < 4; ++t)
        threads.emplace_back([&logger, t] {
          for (int n = 0; n < 50; ++n) logger.Write("[%d] line %d of a longer text", t, n);
        });
      for (std::thread& thread : threads) thread.join();
    }
    const std::string after = UtcNow(), log = ReadBytes(file);
    const std::string plain = std::regex_replace(log, kStamp, "<time>");
    const std::regex line(R"(\[<time>\] \[\d\] line \d+ of a longer text\r\n)");
    EXPECT_EQ(std::distance(std::sregex_iterator(plain.begin(), plain.end(), line), {}), 200);
    std::smatch header;
    const std::string rest = std::regex_replace(plain, line, "");
    ASSERT_TRUE(std::regex_search(rest, header, std::regex("^" + kHeader))) << rest;
    EXPECT_EQ(header[1].str(), kLogs[logNumber][1]);
    // Under Wine the Windows build shows Wine's version: the check is Linux's.
    const std::string release =
        platform::NativePath("C:\\x") == "C:\\x" ? "" : ReadBytes("/proc/sys/kernel/osrelease");
    EXPECT_TRUE(release.empty() || (release.rfind(header[2].str(), 0) == 0 &&
                                    !std::isdigit(release[header[2].length()])));
    EXPECT_EQ(header.suffix().str(),
              "[<time>] [-42] lock acquired ConfigReader::Load\r\n[<time>] x\r\n"
              "[<time>] two\nlines 100%\r\n[<time>] ** Logfile closed\r\n");
    for (std::sregex_iterator it(log.begin(), log.end(), kStamp), end; it != end; ++it)
      EXPECT_TRUE(before <= it->str() && it->str() <= after) << "UTC, not local time";
  }
  // Nothing at all where the file cannot be written or the number is out of range.
  TempDir folder;
  { ActiveDebugLogger(2, folder.Path()).Write("dropped %d", 1); }
  EXPECT_FALSE(fs::exists(folder.Join("logs")));
  fs::create_directories(folder.Join("logs/Zaro_locks.log"));
  for (int logNumber : {2, -1, 3}) ActiveDebugLogger(logNumber, folder.Path()).Write("x");
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(folder.Join("logs")), {}), 1);
}

// The process-wide logger, made at the first traced lock, lives until the process
// ends: this is the one test that makes it, with debugging on.
TEST(DiagTest, TracedLockWritesThreeLinesUntracedNone) {
  if (platform::NativePath("C:\\x") == "C:\\x") GTEST_SKIP() << "the shell decides the folder";
  TempDir folder;
  SetEnvironment("APPDATA", folder.Path());
  WriteBytes(folder.Join("VORN/Zaro/config/zaro.ini"), "[INSTALL]\nDebug=1\n");
  Configuration::Release();
  const std::string logs = folder.Join("VORN/Zaro/logs");
  CCriticalSection section;
  { CThreadLock lock(&section, "Test::Untraced", false); }
  EXPECT_FALSE(fs::exists(logs));
  { CThreadLock lock(&section, "Test::Traced", true); }
  const std::string id =
      "\\[<time>\\] \\[" + std::to_string(static_cast<int>(platform::CurrentThreadId())) + "\\] ";
  EXPECT_TRUE(std::regex_match(
      std::regex_replace(ReadBytes(logs + "/Zaro_locks.log"), kStamp, "<time>"),
      std::regex(kHeader + id + "request for lock Test::Traced\r\n" + id +
                 "lock acquired Test::Traced\r\n" + id + "lock released Test::Traced\r\n")));
  Configuration::Release();
}

}  // namespace
