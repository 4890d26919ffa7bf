#include <ctime>
#include <iostream>
#include <regex>
#include <thread>

#include "diag/ActiveDebugLogger.h"
#include "diag/CThreadLock.h"
#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/TempDir.h"

namespace {

const std::regex kStamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::gmtime(&now));
  return text;
}

// The log's first lines, with "<time>" for every stamp.
std::string Header(const std::string& title) {
  const platform::SystemVersion version = platform::GetSystemVersion();
  return "Zaro " + title + " Debug Logfile - Created at <time>\r\n" + std::string(63, '-') +
         "\r\n[<time>] Zaro v2.0.2.2773 / Windows v" + std::to_string(version.major) + "." +
         std::to_string(version.minor) + "." + std::to_string(version.build) + " " +
         version.servicePack + "\r\n";
}

TEST(ActiveDebugLoggerTest, StartsTheFileAnewWithHeaderWholeStampedLinesAndClosingLine) {
  const std::string kFiles[][2] = {{"logs/Zaro_main.log", "Main Program"},
                                   {"logs/Zaro_bootstrap.log", "Bootstrapper"},
                                   {"logs/Zaro_locks.log", "Thread Locking"}};
  for (int logNumber = 0; logNumber < 3; ++logNumber) {
    TempDir folder;
    ASSERT_TRUE(folder.Create());
    ASSERT_TRUE(folder.WriteFile(kFiles[logNumber][0], std::string(4096, 'x') + "\r\nold\r\n"));
    const std::string before = UtcNow();
    {
      ActiveDebugLogger logger(logNumber, folder.Path());
      logger.Write("[%d] lock acquired %s", -42, "ConfigReader::Load");
      logger.Write("two\nlines 100%%");
      logger.Write("%s", "");
      std::vector<std::thread> threads;  // whole lines, never interleaved
      for (int t = 0; t < 4; ++t)
        threads.emplace_back([&logger, t] {
          for (int n = 0; n < 50; ++n) logger.Write("[%d] line %d of a longer text", t, n);
        });
      for (std::thread& thread : threads) thread.join();
    }
    const std::string after = UtcNow(), log = folder.ReadFile(kFiles[logNumber][0]);
    const std::string plain = std::regex_replace(log, kStamp, "<time>");
    const std::regex line(R"(\[<time>\] \[\d\] line \d+ of a longer text\r\n)");
    EXPECT_EQ(std::distance(std::sregex_iterator(plain.begin(), plain.end(), line), {}), 200);
    EXPECT_EQ(std::regex_replace(plain, line, ""),
              Header(kFiles[logNumber][1]) +
                  "[<time>] [-42] lock acquired ConfigReader::Load\r\n"
                  "[<time>] two\nlines 100%\r\n[<time>] \r\n[<time>] ** Logfile closed\r\n");
    for (std::sregex_iterator it(log.begin(), log.end(), kStamp), end; it != end; ++it)
      EXPECT_TRUE(before <= it->str() && it->str() <= after) << "UTC, not local time";
  }
  // Nothing at all when the file cannot be written: no logs folder, a folder in
  // the way, a log number out of range.
  TempDir folder;
  ASSERT_TRUE(folder.Create());
  { ActiveDebugLogger(2, folder.Path()).Write("dropped %d", 1); }
  EXPECT_FALSE(folder.Exists("logs"));
  fs::create_directories(folder.Join("logs/Zaro_locks.log"));
  for (int logNumber : {2, -1, 3, 1000}) ActiveDebugLogger(logNumber, folder.Path()).Write("x");
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(folder.Join("logs")), {}), 1);
  EXPECT_TRUE(fs::is_directory(folder.Join("logs/Zaro_locks.log")));
}

// The process-wide logger lives until the process ends, so each case runs in a
// child process that reports through its exit status and its error output. An
// untraced lock never makes the logger; a traced one writes three lines when the
// client's settings turn debugging on, and nothing otherwise.
[[noreturn]] void TraceLocksAndExit(bool debug) {
  std::string failures;
  {
    TempDir folder;
    folder.Create();
    ScopedEnvironment appData("APPDATA", folder.Path());
    folder.WriteFile("VORN/Zaro/config/zaro.ini", debug ? "[INSTALL]\nDebug=1\n" : "");
    const std::string logs = folder.Join("VORN/Zaro/logs");
    CCriticalSection section;
    { CThreadLock lock(&section, "Test::Untraced", false); }
    if (fs::exists(logs)) failures += "an untraced lock made the logger\n";
    { CThreadLock lock(&section, "Test::Traced", true); }
    const std::string log =
        std::regex_replace(ReadBytes(logs + "/Zaro_locks.log"), kStamp, "<time>");
    const std::string id =
        "[<time>] [" + std::to_string(static_cast<int>(platform::CurrentThreadId())) + "] ";
    const std::string expected =
        Header("Thread Locking") + id + "request for lock Test::Traced\r\n" + id +
        "lock acquired Test::Traced\r\n" + id + "lock released Test::Traced\r\n";
    if (!fs::is_directory(logs)) failures += "no log folder\n";
    if (debug ? log != expected : !fs::is_empty(logs)) failures += "log is\n" + log;
    Configuration::Release();
  }
  std::cerr << failures;
  std::exit(failures.empty() ? 0 : 1);
}

TEST(ProcessLoggerTest, TracedLockWritesThreeLinesOnlyWithDebuggingOn) {
  if (platform::NativePath("C:\\x") == "C:\\x") GTEST_SKIP() << "the shell decides the folder";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (bool debug : {true, false})
    EXPECT_EXIT(TraceLocksAndExit(debug), ::testing::ExitedWithCode(0), "") << debug;
}

}  // namespace
