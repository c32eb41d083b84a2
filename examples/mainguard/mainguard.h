// The tools' last line of defence: whatever a hostile input makes the code below throw, the tool
// ends with a message on stderr and a failure status, never with an abort and a core file.
#pragma once

#include <cstdio>
#include <exception>
#include <new>

namespace examples {

// Runs body (returning the exit status); an exception gives failureStatus.
template <typename Body>
int RunGuarded(const char* tool, int failureStatus, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", tool);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", tool, error.what());
  } catch (...) {
    std::fprintf(stderr, "%s: stopped by an unexpected exception\n", tool);
  }
  return failureStatus;
}

}  // namespace examples
