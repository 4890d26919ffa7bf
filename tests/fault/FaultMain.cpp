// kvbconfig for the fault tests only; without these variables it is the shipped tool.
// KVB_FAULT_WRITE=n: the n-th write fails as on a full disk. KVB_KILL_WRITE=n: killed
// before write n. KVB_KILL_AFTER_US=t: killed t microseconds after the start.
// KVB_REMOVE_AT_WRITE=n:f: folder f deleted before write n. KVB_WATCH=f1|f2: "n f" for
// each write n while f.kvbtmp exists, "writes: n" at the end. KVB_REPORT_PEAK=1:
// "peak: kB", the process's own high-water mark (a parent's rusage would count the
// forked test process too). What the hooks say goes to the file KVB_HOOKS, never to
// the tool's own standard error.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/Application.h"
#include "platform/Platform.h"

namespace {
const char* Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
std::ofstream hooks;
long long writes = 0;
void OnWrite(long long number) {
  writes = number;
  std::istringstream watched(Env("KVB_WATCH"));
  for (std::string file; std::getline(watched, file, '|');)
    if (std::filesystem::exists(file + ".kvbtmp")) hooks << number << " " << file << std::endl;
  if (number == std::atoll(Env("KVB_KILL_WRITE"))) std::raise(SIGKILL);
  const std::string remove = Env("KVB_REMOVE_AT_WRITE");
  if (number == std::atoll(remove.c_str()))
    std::filesystem::remove_all(remove.substr(remove.find(':') + 1));
}
}  // namespace

int main(int argc, char* argv[]) {
  if (*Env("KVB_WATCH") || *Env("KVB_REPORT_PEAK")) hooks.open(Env("KVB_HOOKS"));
  if (const long long after = std::atoll(Env("KVB_KILL_AFTER_US"))) {
    std::thread([after] {
      std::this_thread::sleep_for(std::chrono::microseconds(after)), std::raise(SIGKILL);
    }).detach();
  }
  platform::InjectWriteFault(std::atoi(Env("KVB_FAULT_WRITE")));
  platform::SetWriteObserver(OnWrite);
  const int status = RunKvbConfig(argc, argv);
  if (*Env("KVB_WATCH")) hooks << "writes: " << writes << std::endl;
  std::ifstream memory("/proc/self/status");
  for (std::string word; *Env("KVB_REPORT_PEAK") && memory >> word;)
    if (word == "VmHWM:" && memory >> word) hooks << "peak: " << word << std::endl;
  return status;
}
