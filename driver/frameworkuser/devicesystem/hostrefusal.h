// A call passed on to the host library whose refusal the device layer reports as its own
// error: the host's error and its printing stay out of the caller's way.
#pragma once

#include <functional>

namespace zor::frame {

// True when the host recorded an error during the call.
bool HostRefuses(const std::function<void()>& call);

}  // namespace zor::frame
