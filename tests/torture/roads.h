// The roads of the application interface that the torture threads take: each makes one to a
// few calls on the shared objects with arguments the worker's generator picks, and checks what
// comes back where the answer is known.
#pragma once

#include "tests/torture/worker.h"

namespace torture {

// Digitizers (digitizerroads.cpp).
void InquireDigitizer(Worker& worker);
void ControlDigitizer(Worker& worker);
void Grab(Worker& worker);
void GrabContinuously(Worker& worker);
void Process(Worker& worker);
void Hook(Worker& worker);

// Features by name (featureroads.cpp).
void ReadFeature(Worker& worker);
void WriteFeature(Worker& worker);
void ExecuteCommand(Worker& worker);

// Systems and buffers (systemroads.cpp).
void InquireSystem(Worker& worker);
void UseBuffers(Worker& worker);
void GrabIntoOwnBuffer(Worker& worker);
void PollForBrowser(Worker& worker);
void UseOwnDigitizer(Worker& worker);

// The feature browser's server and a client of it (browserroad.cpp).
void Browse(Worker& worker);

}  // namespace torture
