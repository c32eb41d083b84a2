// Running actions, procedures and flows on the chain, sequentially or concurrently.
#pragma once

#include <cstdint>
#include <string>

#include "driver/ieee1532/bsdl/bsdlentity.h"
#include "driver/ieee1532/chain/chaindevice.h"

namespace zor::isc {

int ChainPerformActions(Chain& chain, int64_t iteration);
int ChainPerformConcurrent(Chain& chain, int64_t iteration);
int ActionRun(Chain& chain, ChainDevice& device);
int ProcedureRun(Chain& chain, ChainDevice& device, const BsdlActionProcedure& reference);
int FlowRunLoop(ChainDevice& device, const BsdlActivity& activity, BsdlFlow& flow,
                int64_t repeatIndex, bool inLoop);

// The TDI bits of an activity's data register scan, most significant first.
void BuildTdiText(const BsdlActivity& activity, bool concurrent, std::string& tdiText,
                  ChainDevice& device, BsdlFlow& flow, int64_t repeatIndex);
// Compares captured bits (most significant first) with the activity's expected values; 1 on a
// mismatch.
int CompareCapturedTdo(const BsdlActivity& activity, bool concurrent, const std::string& tdoText,
                       ChainDevice& device, BsdlFlow& flow, int64_t repeatIndex);

// Bypass bits of the other devices around target, for a sequential scan.
void IscSetBypassCounts(const Chain& chain, const ChainDevice& target);
// Runs the device's PROC_ERROR_EXIT after a failure, when the settings ask for it.
void IscRunErrorExit(Chain& chain, ChainDevice& device);

// True when the device's output file is open and in ISC format.
bool IscWritesIscFormat(const ChainDevice& device);

// Bit text of an instruction for the device's instruction register.
std::string IscOpcodeText(const ChainDevice& device, int opcode);
void IscRunWait(const BsdlWait& wait);
// Mismatches counted for the action being run, against the display limit.
void IscResetMismatchCount();
// Set by a failing flow with exit_on_error; stops the chain.
bool& IscChainStop();

}  // namespace zor::isc
