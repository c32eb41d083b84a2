#include "driver/frameworkuser/context/qdzorthreadcontext.h"

#include "platform/host/hostservices.h"

namespace zor::frame {

QDZorThreadContext::QDZorThreadContext(QDDriverThreadContext& owner, int64_t systemIndex)
    : owner_(owner), systemIndex_(systemIndex) {}

QDZorThreadContext::~QDZorThreadContext() {
  if (hostThreadId_ != 0) HostThrFree(hostThreadId_);
}

}  // namespace zor::frame
