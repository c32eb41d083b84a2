// What the engine throws when it stops a run: the error that stops it is reported already, and
// whoever runs the engine only learns that the run is over.
#pragma once

namespace zor::isc {

struct EngineStop {};

}  // namespace zor::isc
