#include "platform/host/threadcontext.h"

#include "platform/host/driverlibrary.h"

namespace zorhost {

ThreadContext::~ThreadContext() {
  // A driver may call back into the host while it lets go of the thread.
  std::set<DriverLibrary*> seen;
  seen.swap(drivers);
  for (DriverLibrary* driver : seen) driver->NotifyThreadEnd();
}

ThreadContext& CurrentThread() {
  thread_local ThreadContext context;
  return context;
}

ApiScope::ApiScope(const wchar_t* function, bool clearsError) {
  ThreadContext& thread = CurrentThread();
  if (thread.depth++ == 0) {
    thread.outerFunction = function;
    if (clearsError) thread.error = HostError{};
  }
}

ApiScope::~ApiScope() { --CurrentThread().depth; }

}  // namespace zorhost
