// The IEEE 1532 engine's entry and its start and end.
#pragma once

#include "driver/ieee1532/text/enginestop.h"

namespace zor::isc {

// The IEEE 1532 programming engine, run as a function with a command line.
// Fatal stops close the engine's files, free its state and throw EngineStop.
int IscEngineMain(int argc, char** argv);
bool IscEngineParseOptions(int argc, char** argv);
int IscEngineParseToolOption(int& argc, char**& argv);
void IscEnginePrintUsage();
// A fresh engine state (settings at their defaults, no chain, no files), and its release, which
// closes the files it holds.
void IscEngineInitGlobals();
void IscEngineFreeGlobals();

}  // namespace zor::isc
