#include "platform/host/threadcontext.h"

#include "platform/host/driverlibrary.h"

namespace zorhost {

ThreadContext::~ThreadContext() {
  // A driver may call back into the host while it lets go of the thread.
  std::vector<DriverLibrary*> seen;
  seen.swap(drivers);
  for (DriverLibrary* driver : seen) driver->NotifyThreadEnd();
}

namespace {

ThreadContext& OwnContext() {
  thread_local ThreadContext context;
  return context;
}

// Every host call looks its thread up several times: a plain pointer in the static TLS block
// is one load, where the context itself would cost a guarded __tls_get_addr call each time.
__attribute__((tls_model("initial-exec"))) thread_local ThreadContext* t_current = nullptr;

}  // namespace

ThreadContext& CurrentThread() {
  if (t_current == nullptr) t_current = &OwnContext();
  return *t_current;
}

ApiScope::ApiScope(ErrorText function, bool clearsError) : thread_(CurrentThread()) {
  if (thread_.depth++ == 0) {
    thread_.outerFunction = function;
    if (clearsError) thread_.error.Clear();
  }
}

ApiScope::~ApiScope() {
  if (--thread_.depth == 0 && !thread_.retiredSystems.empty()) thread_.retiredSystems.clear();
}

}  // namespace zorhost
