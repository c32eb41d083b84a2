// Functions that callers hand to the host to keep (hooks, thread bodies) run
// behind a barrier: what they throw never leaves the host call that ran them.
#pragma once

namespace zorhost {

// Records the exception being handled as the host's hook error (Q_ERR_HOOK) with what it says.
// Call only inside a catch handler.
void ReportHandedFailure() noexcept;

// Runs call; an exception it throws is reported and goes no further.
template <class Call>
void CallHanded(Call&& call) noexcept {
  try {
    call();
  } catch (...) {
    ReportHandedFailure();
  }
}

}  // namespace zorhost
