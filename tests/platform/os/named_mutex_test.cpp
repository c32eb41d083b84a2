#include "platform/os/sync/named_mutex.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/os/refused.h"

extern char** environ;

namespace os {
namespace {

struct PeerResult {
  int exitCode = -1;
  std::string output;
};

// Runs the peer program in its own process (same registry root).
PeerResult RunPeer(const char* name, const char* command, std::vector<std::string> more = {}) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> argv = {const_cast<char*>(OS_MUTEX_PEER), const_cast<char*>(name),
                             const_cast<char*>(command)};
  for (std::string& argument : more) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, OS_MUTEX_PEER, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  PeerResult result;
  char chunk[128];
  ssize_t count;
  while ((count = read(pipeFds[0], chunk, sizeof(chunk))) > 0) result.output.append(chunk, count);
  close(pipeFds[0]);
  int status = 0;
  if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  return result;
}

std::string Expect(bool existed, uint32_t wait) {
  return std::to_string(existed ? 1 : 0) + " " + std::to_string(wait) + "\n";
}

TEST(NamedMutexes, SecondCreateInProcessFindsTheSameMutex) {
  Handle first = CreateMutex(true, L"zor.test.same");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  Handle second = CreateMutex(true, L"zor.test.same");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  // Initial ownership is ignored for an existing mutex: one release frees it.
  std::thread([second] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  ASSERT_TRUE(ReleaseMutex(first));
  std::thread([second] {
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    ReleaseMutex(second);
  }).join();
  // Closing one handle leaves the other one working, and owned, on a thread that used both.
  ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  CloseHandle(first);
  std::thread([second] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  ASSERT_TRUE(ReleaseMutex(second));
  Refused(!ReleaseMutex(first), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(second));
  CloseHandle(second);
}

TEST(NamedMutexes, OneNameInTwoObjectFoldersIsTwoMutexes) {
  const std::string root = getenv("ZOR_REGISTRY_ROOT");
  Handle first = CreateMutex(true, L"zor.test.folders");
  setenv("ZOR_REGISTRY_ROOT", (std::filesystem::path(root) / "other").c_str(), 1);
  EXPECT_EQ(OpenMutex(L"zor.test.folders"), kNullHandle);
  Handle second = CreateMutex(true, L"zor.test.folders");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  std::thread([second] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
  // The first folder's mutex is still the first one's, owned by this thread.
  Handle again = CreateMutex(false, L"zor.test.folders");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  std::thread([again] { EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_TIMEOUT); }).join();
  for (Handle mutex : {first, second}) ReleaseMutex(mutex);
  for (Handle mutex : {first, second, again}) CloseHandle(mutex);
}

TEST(NamedMutexes, OpenFindsOnlyExistingMutexes) {
  Refused(OpenMutex(L"zor.test.missing") == kNullHandle, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenMutex(nullptr), kNullHandle);
  Handle mutex = CreateMutex(false, L"zor.test.open");
  Handle opened = OpenMutex(L"zor.test.open");
  EXPECT_NE(opened, kNullHandle);
  for (Handle h : {opened, mutex}) CloseHandle(h);
  // Escaped characters keep every bit of their own; a name up to its file's bound is taken.
  mutex = CreateMutex(false, L"zor_test-. /\u00e9");
  for (const wchar_t* other : {L"zor_test-.!/\u00e9", L"zor_test-. ?\u00e9"}) {
    Refused(OpenMutex(other) == kNullHandle, ERROR_FILE_NOT_FOUND);
  }
  opened = OpenMutex(L"zor_test-. /\u00e9");
  EXPECT_NE(opened, kNullHandle);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) /
                                      ".objects/mutex.zor_test-.%20%2f%c3%a9"));
  Handle longest = CreateMutex(false, std::wstring(244, L'n').c_str());
  EXPECT_NE(longest, kNullHandle);
  Refused(CreateMutex(false, std::wstring(245, L'n').c_str()) == kNullHandle, ERROR_INVALID_NAME);
  for (Handle h : {opened, mutex, longest}) CloseHandle(h);
}

TEST(NamedMutexes, AnotherProcessSeesExistenceAndOwnership) {
  Handle mutex = CreateMutex(true, L"zor.test.cross");
  ASSERT_NE(mutex, kNullHandle);
  PeerResult held = RunPeer("zor.test.cross", "probe");
  EXPECT_EQ(held.exitCode, 0);
  EXPECT_EQ(held.output, Expect(true, WAIT_TIMEOUT));
  ASSERT_TRUE(ReleaseMutex(mutex));
  PeerResult freed = RunPeer("zor.test.cross", "probe");
  EXPECT_EQ(freed.output, Expect(true, WAIT_OBJECT_0));
  CloseHandle(mutex);
  // With no handle left anywhere the name is gone.
  PeerResult fresh = RunPeer("zor.test.cross", "probe");
  EXPECT_EQ(fresh.output, Expect(false, WAIT_OBJECT_0));
}

TEST(NamedMutexes, WaiterInAnotherProcessGetsItOnRelease) {
  Handle mutex = CreateMutex(true, L"zor.test.handover");
  PeerResult result;
  std::thread peer([&] { result = RunPeer("zor.test.handover", "wait"); });
  Sleep(100);
  ASSERT_TRUE(ReleaseMutex(mutex));
  peer.join();
  EXPECT_EQ(result.output, Expect(true, WAIT_OBJECT_0));
  CloseHandle(mutex);
}

TEST(NamedMutexes, TwoProcessesTakeTurnsAndLoseNoIncrement) {
  const std::string file =
      (std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "counter.txt").string();
  std::ofstream(file) << 0;
  constexpr int kRounds = 60;
  PeerResult results[2];
  std::thread first([&] {
    results[0] = RunPeer("zor.test.count", "count", {file, std::to_string(kRounds)});
  });
  results[1] = RunPeer("zor.test.count", "count", {file, std::to_string(kRounds)});
  first.join();
  EXPECT_EQ(results[0].exitCode, 0);
  EXPECT_EQ(results[1].exitCode, 0);
  int total = 0;
  std::ifstream(file) >> total;
  EXPECT_EQ(total, 2 * kRounds);
}

TEST(NamedMutexes, FailedWaitForAllLeavesTheMutexToOthers) {
  Handle mutex = CreateMutex(false, L"zor.test.waitall");
  Handle event = CreateEvent(false, false);
  Handle both[2] = {mutex, event};
  EXPECT_EQ(WaitForMultipleObjects(2, both, true, 20), WAIT_TIMEOUT);
  EXPECT_EQ(RunPeer("zor.test.waitall", "probe").output, Expect(true, WAIT_OBJECT_0));
  SetEvent(event);
  EXPECT_EQ(WaitForMultipleObjects(2, both, true, 0), WAIT_OBJECT_0);
  // Owned already, it stays owned through a wait for all that fails.
  EXPECT_EQ(WaitForMultipleObjects(2, both, true, 0), WAIT_TIMEOUT);
  EXPECT_EQ(RunPeer("zor.test.waitall", "probe").output, Expect(true, WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(event);
  CloseHandle(mutex);
}

TEST(NamedMutexes, OwnerEndingWithoutReleaseAbandonsIt) {
  Handle mutex = CreateMutex(false, L"zor.test.abandon");
  EXPECT_EQ(RunPeer("zor.test.abandon", "abandon").exitCode, 0);
  EXPECT_EQ(WaitForSingleObject(mutex, 1000), WAIT_ABANDONED_0);
  ASSERT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace
}  // namespace os
