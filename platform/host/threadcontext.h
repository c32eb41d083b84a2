// What the host keeps per calling thread: the error state, the calls that run on the thread
// and the drivers that have seen commands from it.
#pragma once

#include <set>
#include <vector>

#include "platform/host/hosterror.h"

namespace zorhost {

class DriverLibrary;

struct ThreadContext {
  HostError error;
  std::vector<HostError> saved;
  int depth = 0;
  const wchar_t* outerFunction = L"";
  std::vector<QID> commandSystems;  // systems of the commands running on this thread
  QID* capturedBuffer = nullptr;    // receives the first host buffer made while set
  std::set<DriverLibrary*> drivers;

  ThreadContext() = default;
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;
  // Tells each driver that saw this thread that the thread ends.
  ~ThreadContext();
};

ThreadContext& CurrentThread();

// Marks one call of the host library; the outermost call on a thread starts with no error,
// except the calls that read or keep the error.
class ApiScope {
 public:
  explicit ApiScope(const wchar_t* function, bool clearsError = true);
  ~ApiScope();
  ApiScope(const ApiScope&) = delete;
  ApiScope& operator=(const ApiScope&) = delete;
};

}  // namespace zorhost
