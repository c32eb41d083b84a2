// The table of callbacks a grab-control library gets from the driver, and the
// entry points it exports: the contract between the driver and such a library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::grabcontrol {

// Each digitizer callback takes the library's word first and the binding last.
using CheckSourceWindowFn = int64_t (*)(int64_t word, int64_t buffer, int64_t value, void* binding);
using ControlIntFn = int64_t (*)(int64_t word, int64_t type, int64_t value, void* binding,
                                 int64_t extra);
using ControlDoubleFn = int64_t (*)(int64_t word, int64_t type, double value, void* binding,
                                    int64_t extra);
using GrabFn = int64_t (*)(int64_t word, int64_t buffer, int64_t value, void* binding);
using GrabWaitFn = int64_t (*)(int64_t word, int64_t value, void* binding);
using StopGrabFn = int64_t (*)(int64_t word, void* binding);
using InquireFn = int64_t (*)(int64_t word, int64_t type, void* out, void* binding);
// The error callbacks take the calling thread's driver context first.
using GetErrorCodeFn = int64_t (*)(void* context);
using GetErrorTextFn = const wchar_t* (*)(void* context);
using GetErrorSubCodeFn = int64_t (*)(void* context, int64_t index);
using GetErrorSubTextFn = const wchar_t* (*)(void* context, int64_t kind);
using SetErrorFn = void (*)(void* context, int64_t code, int64_t sub1, int64_t sub2, int64_t sub3);
using SetErrorTextFn = void (*)(void* context, int64_t code, const wchar_t* text5,
                                const wchar_t* text6, const wchar_t* text7);
using SetErrorSubTextFn = void (*)(void* context, int64_t code, int64_t sub1, const wchar_t* text6,
                                   const wchar_t* text7);
using GetErrorFn = int64_t (*)(void* context, int64_t kind, void* out1, void* out2, void* out3,
                               void* out4);

struct GrabCtlCallbackTable {
  uint32_t size;     // 144
  uint32_t version;  // 1
  CheckSourceWindowFn checkSourceWindow;
  ControlIntFn digControlInt;
  ControlDoubleFn digControlDouble;
  GrabFn digGrab;
  GrabWaitFn digGrabWait;
  StopGrabFn digStopGrab;
  InquireFn digInquire;
  void* binding;
  uint32_t errorPartSize;     // 72
  uint32_t errorPartVersion;  // 2
  GetErrorCodeFn getErrorCode;
  GetErrorTextFn getErrorText;
  GetErrorSubCodeFn getErrorSubCode;
  GetErrorSubTextFn getErrorSubText;
  SetErrorFn setError;
  SetErrorTextFn setErrorText;
  SetErrorSubTextFn setErrorSubText;
  GetErrorFn getError;
};
static_assert(sizeof(GrabCtlCallbackTable) == 144);
static_assert(offsetof(GrabCtlCallbackTable, binding) == 64);
static_assert(offsetof(GrabCtlCallbackTable, errorPartSize) == 72);
static_assert(offsetof(GrabCtlCallbackTable, getErrorCode) == 80);
static_assert(offsetof(GrabCtlCallbackTable, getError) == 136);

// The library's entry points; results: 0 done, else an event code.
using QGCdigAllocFn = int64_t (*)(int64_t hostSystem, int64_t hostDigitizer,
                                  const GrabCtlCallbackTable* table, int64_t* handle);
using QGCdigFreeFn = int64_t (*)(int64_t handle);
using QGCdigControlFn = int64_t (*)(int64_t handle, int64_t type, int64_t value);
using QGCdigControlDoubleFn = int64_t (*)(int64_t handle, int64_t type, double value);
using QGCdigGrabAbortExFn = int64_t (*)(int64_t handle, double value, int64_t word);
using QGCdigGrabContinuousFn = int64_t (*)(int64_t handle, int64_t hostBuffer, int64_t value);
using QGCdigHaltFn = int64_t (*)(int64_t handle, int64_t value, int64_t again);
using QGCdigInquireFn = int64_t (*)(int64_t handle, int64_t type, int64_t* out, int64_t word);

inline constexpr int64_t kLibraryInquire = 4385;

}  // namespace zor::grabcontrol
