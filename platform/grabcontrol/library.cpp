#include "platform/grabcontrol/grabcontrol.h"

namespace zorgrabc {

// An object of the library's own, not a leaked one: the driver unloads the library.
GrabControl& Library() {
  static GrabControl library;
  return library;
}

}  // namespace zorgrabc
