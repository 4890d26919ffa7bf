#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "diag/ActiveDebugLogger.h"
#include "diag/CThreadLock.h"
#include "diag/DebugLogger.h"
#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

namespace {

const std::regex kStamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::gmtime(&now));
  return text;
}

std::string WithoutStamps(const std::string& log) {
  return std::regex_replace(log, kStamp, "<time>");
}

std::vector<std::string> Stamps(const std::string& log) {
  std::vector<std::string> stamps;
  for (std::sregex_iterator it(log.begin(), log.end(), kStamp), end; it != end; ++it)
    stamps.push_back(it->str());
  return stamps;
}

std::string Header(const char* title) {
  const platform::SystemVersion version = platform::GetSystemVersion();
  char line[256];
  std::snprintf(line, sizeof line, "[<time>] Zaro v2.0.2.2773 / Windows v%d.%d.%d %s\r\n",
                version.major, version.minor, version.build, version.servicePack.c_str());
  return std::string("Zaro ") + title + " Debug Logfile - Created at <time>\r\n" +
         std::string(63, '-') + "\r\n" + line;
}

std::string LogPath(const ScratchFolder& folder, const char* name) {
  return folder.Path() + "/logs/" + name;
}

TEST(ActiveDebugLoggerTest, WritesHeaderStampedLinesAndClosingLine) {
  struct Case {
    int logNumber;
    const char* file;
    const char* title;
  } cases[] = {
      {0, "Zaro_main.log", "Main Program"},
      {1, "Zaro_bootstrap.log", "Bootstrapper"},
      {2, "Zaro_locks.log", "Thread Locking"},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    folder.MakeFolder("logs");
    const std::string before = UtcNow();
    {
      ActiveDebugLogger logger(c.logNumber, folder.Path());
      logger.Write("[%d] lock acquired %s", -42, "ConfigReader::Load");
      logger.Write("two\nlines 100%%");
      logger.Write("%s", "");
    }
    const std::string after = UtcNow();

    const std::string log = ScratchFolder::ReadBytes(LogPath(folder, c.file));
    EXPECT_EQ(WithoutStamps(log), Header(c.title) +
                                      "[<time>] [-42] lock acquired ConfigReader::Load\r\n"
                                      "[<time>] two\nlines 100%\r\n"
                                      "[<time>] \r\n"
                                      "[<time>] ** Logfile closed\r\n");
    // UTC, not local time.
    for (const std::string& stamp : Stamps(log)) {
      EXPECT_LE(before, stamp);
      EXPECT_LE(stamp, after);
    }
  }
}

TEST(ActiveDebugLoggerTest, StartsTheFileAnew) {
  ScratchFolder folder;
  const std::string path =
      folder.WriteFile("logs/Zaro_locks.log", std::string(4096, 'x') + "\r\nold line\r\n");
  { ActiveDebugLogger logger(2, folder.Path()); }
  EXPECT_EQ(WithoutStamps(ScratchFolder::ReadBytes(path)),
            Header("Thread Locking") + "[<time>] ** Logfile closed\r\n");
}

TEST(ActiveDebugLoggerTest, DropsEverythingWhenTheFileCannotBeWritten) {
  ScratchFolder noLogsFolder;
  { ActiveDebugLogger(2, noLogsFolder.Path()).Write("dropped %d", 1); }
  EXPECT_FALSE(ScratchFolder::ExistsAt(noLogsFolder.Path() + "/logs"));

  ScratchFolder fileIsFolder;
  const std::string folderPath = fileIsFolder.MakeFolder("logs/Zaro_locks.log");
  { ActiveDebugLogger(2, fileIsFolder.Path()).Write("dropped %d", 2); }
  EXPECT_TRUE(std::filesystem::is_directory(folderPath));

  ScratchFolder badNumbers;
  badNumbers.MakeFolder("logs");
  for (int logNumber : {-1, 3, 1000}) ActiveDebugLogger(logNumber, badNumbers.Path()).Write("x");
  EXPECT_TRUE(std::filesystem::is_empty(badNumbers.Path() + "/logs"));
}

TEST(ActiveDebugLoggerTest, LinesFromSeveralThreadsNeverInterleave) {
  ScratchFolder folder;
  folder.MakeFolder("logs");
  constexpr int kThreads = 4;
  constexpr int kLines = 50;
  {
    ActiveDebugLogger logger(2, folder.Path());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&logger, t] {
        for (int n = 0; n < kLines; ++n) logger.Write("[%d] line %d of a longer text", t, n);
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  const std::string log =
      WithoutStamps(ScratchFolder::ReadBytes(LogPath(folder, "Zaro_locks.log")));
  const std::string header = Header("Thread Locking");
  ASSERT_EQ(log.compare(0, header.size(), header), 0);
  const std::regex line(R"(\[<time>\] \[\d\] line \d+ of a longer text\r\n)");
  const std::string body = log.substr(header.size());
  const auto lines =
      std::distance(std::sregex_iterator(body.begin(), body.end(), line), std::sregex_iterator());
  EXPECT_EQ(lines, kThreads * kLines);
  EXPECT_EQ(std::regex_replace(body, line, ""), "[<time>] ** Logfile closed\r\n");
}

// The process-wide logger lives until the process ends, so every test that
// makes it runs in a child process. The child reports through its exit status
// and its error output.
class ProcessLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::NativePath("C:\\x") == "C:\\x")
      GTEST_SKIP() << "the shell decides the application-data folder here";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }

  // Writes the client's settings with the debug switch, traces one lock and
  // checks what reached the disk.
  [[noreturn]] static void TraceOneLockAndExit(bool debug) {
    bool good = true;
    auto check = [&good](bool condition, const std::string& what) {
      if (!condition) std::cerr << "failed: " << what << "\n";
      good = good && condition;
    };
    {
      ScratchFolder folder;
      ScopedEnvironment appData("APPDATA", folder.Path());
      folder.WriteFile("VORN/Zaro/config/zaro.ini",
                       std::string("[INSTALL]\r\nDebug=") + (debug ? "1" : "0") + "\r\n");
      const std::string logs = folder.Path() + "/VORN/Zaro/logs";

      CCriticalSection section;
      { CThreadLock lock(&section, "Test::Traced", true); }
      DebugLogger* logger = DebugLogger::GetInstance();
      check(DebugLogger::GetInstance() == logger, "one logger");

      check(std::filesystem::is_directory(logs), "the log folder is made");
      const std::string log = WithoutStamps(ScratchFolder::ReadBytes(logs + "/Zaro_locks.log"));
      if (debug) {
        const std::string id = "[" + std::to_string(static_cast<int>(platform::CurrentThreadId()));
        const std::string expected = Header("Thread Locking") + "[<time>] " + id +
                                     "] request for lock Test::Traced\r\n" + "[<time>] " + id +
                                     "] lock acquired Test::Traced\r\n" + "[<time>] " + id +
                                     "] lock released Test::Traced\r\n";
        check(log == expected, "log is\n" + log + "\nexpected\n" + expected);
      } else {
        check(std::filesystem::is_empty(logs), "no log file with debugging off");
      }
      Configuration::Release();
    }
    std::exit(good ? 0 : 1);
  }
};

TEST_F(ProcessLoggerTest, TracedLockWritesThreeLinesWithDebuggingOn) {
  EXPECT_EXIT(TraceOneLockAndExit(true), ::testing::ExitedWithCode(0), "");
}

TEST_F(ProcessLoggerTest, TracedLockWritesNothingWithDebuggingOff) {
  EXPECT_EXIT(TraceOneLockAndExit(false), ::testing::ExitedWithCode(0), "");
}

TEST(CThreadLockTest, UntracedLockNeverMakesTheLogger) {
  ScratchFolder folder;
  ScopedEnvironment appData("APPDATA", folder.Path());
  folder.WriteFile("VORN/Zaro/config/zaro.ini", "[INSTALL]\r\nDebug=1\r\n");
  Configuration::GetInstance();
  CCriticalSection section;
  { CThreadLock lock(&section, "Test::Untraced", false); }
  Configuration::Release();
  EXPECT_FALSE(ScratchFolder::ExistsAt(folder.Path() + "/VORN/Zaro/logs"));
}

}  // namespace
