// Mutexes that may be named and then shared by every process of the same
// object folder (the registry root's ".objects" folder). Ownership is per
// thread and re-entrant; wait with WaitForSingleObject/WaitForMultipleObjects.
#pragma once

#include "platform/os/core/handle.h"

namespace os {

// Creates or opens the mutex. An empty or null name gives a private mutex.
// When the name already exists the handle is returned with the last error
// ERROR_ALREADY_EXISTS (and initialOwner is ignored); else ERROR_SUCCESS.
Handle CreateMutex(bool initialOwner, const wchar_t* name);
// Opens an existing named mutex; null with ERROR_FILE_NOT_FOUND otherwise.
Handle OpenMutex(const wchar_t* name);
// False with ERROR_NOT_OWNER when the calling thread does not own it.
bool ReleaseMutex(Handle mutex);

}  // namespace os
