// A second process for the named-mutex tests.
// mutex_peer <name> probe   prints "<already-existed> <wait result with time-out 0>"
// mutex_peer <name> abandon takes the mutex and ends without releasing it
// mutex_peer <name> wait    waits up to 5 s, prints the result, releases
// mutex_peer <name> count <file> <rounds>
//                           adds 1 to the number in the file, rounds times,
//                           each time under the mutex
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/os/core/error.h"
#include "platform/os/sync/named_mutex.h"
#include "platform/os/sync/wait.h"
#include "platform/os/text/convert.h"

namespace {

// Reads, pauses and writes back, so that two unguarded counters would lose
// increments.
bool CountUnder(os::Handle mutex, const char* file, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    if (os::WaitForSingleObject(mutex, 5000) != os::WAIT_OBJECT_0) return false;
    int value = 0;
    if (FILE* in = std::fopen(file, "r")) {
      if (std::fscanf(in, "%d", &value) != 1) value = -1000000;
      std::fclose(in);
    }
    usleep(200);
    if (FILE* out = std::fopen(file, "w")) {
      std::fprintf(out, "%d\n", value + 1);
      std::fclose(out);
    }
    if (!os::ReleaseMutex(mutex)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[2], "count") == 0) {
    const std::wstring name = os::Utf8ToWide(argv[1]);
    os::Handle mutex = os::CreateMutex(false, name.c_str());
    if (mutex == os::kNullHandle) return 3;
    const bool counted = CountUnder(mutex, argv[3], std::atoi(argv[4]));
    os::CloseHandle(mutex);
    return counted ? 0 : 4;
  }
  if (argc != 3) return 2;
  const std::wstring name = os::Utf8ToWide(argv[1]);
  os::Handle mutex = os::CreateMutex(false, name.c_str());
  if (mutex == os::kNullHandle) return 3;
  const bool existed = os::GetLastError() == os::ERROR_ALREADY_EXISTS;
  if (std::strcmp(argv[2], "probe") == 0) {
    const uint32_t result = os::WaitForSingleObject(mutex, 0);
    std::printf("%d %u\n", existed ? 1 : 0, result);
    if (result == os::WAIT_OBJECT_0 || result == os::WAIT_ABANDONED_0) os::ReleaseMutex(mutex);
  } else if (std::strcmp(argv[2], "abandon") == 0) {
    return os::WaitForSingleObject(mutex, 5000) == os::WAIT_OBJECT_0 ? 0 : 4;
  } else if (std::strcmp(argv[2], "wait") == 0) {
    const uint32_t result = os::WaitForSingleObject(mutex, 5000);
    std::printf("%d %u\n", existed ? 1 : 0, result);
    os::ReleaseMutex(mutex);
  } else {
    return 2;
  }
  os::CloseHandle(mutex);
  return 0;
}
