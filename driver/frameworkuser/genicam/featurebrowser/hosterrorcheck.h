// The host library's current error of the calling thread, as the feature-browser server sees it.
#pragma once

namespace zor::genicam {

// False when the last host call succeeded. With an error: true when throwOnError is clear,
// otherwise a ZorDrvRuntimeException (kFeatureBrowserError, sub-code 2) carrying the host's error
// texts.
bool ThrowOnHostError(bool throwOnError);

}  // namespace zor::genicam
