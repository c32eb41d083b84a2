// A board driver library: found by system descriptor, loaded once with dlopen from the folder
// of libZOR.so (or from the path in ZOR_DRIVER_<BOARD>), and kept for the life of the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/hostcommand/commandrecord.h"
#include "platform/host/hosterror.h"

namespace zorhost {

struct ErrorRange {
  std::wstring name;
  uint32_t first = 0;
  uint32_t last = 0;
};

class DriverLibrary {
 public:
  // The driver of a board descriptor such as L"Q_SYSTEM_DRAVIONLYN"; null for a descriptor that
  // names no board. Fills `error` when the board's library cannot be loaded.
  static DriverLibrary* ForDescriptor(const std::wstring& descriptor, HostError* error);
  static bool IsBoardDescriptor(const std::wstring& descriptor);
  // The drivers loaded so far.
  static std::vector<DriverLibrary*> Loaded();

  // Hands one record to the decoder on the calling thread.
  void Decode(QDCommandRecord& record);
  // The thread is ending: the driver may drop what it keeps for it.
  void NotifyThreadEnd();
  // The process has attached the driver: sent once, right after it is loaded.
  void NotifyProcessAttach();
  std::vector<ErrorRange> ErrorRanges() const;
  // The driver's text for a code and sub-code; empty when it has none.
  std::wstring ErrorMessage(QINT64 code, QINT64 sub) const;
  bool OwnsCode(QINT64 code) const;
  // Serves the board from functions that `resolve` finds; false when it finds no decoder.
  static bool UseResolver(const std::wstring& descriptor, void* (*resolve)(const char*));

 private:
  using RangeFunction = int32_t (*)(int32_t, uint32_t*, uint32_t*, uint32_t*, const wchar_t**);
  using MessageFunction = int32_t (*)(int32_t, int32_t, const wchar_t**);

  DriverLibrary() = default;
  static DriverLibrary* Find(const std::wstring& descriptor);  // under the load lock
  static DriverLibrary* Resolve(const std::wstring& descriptor, const char* decoder,
                                void* (*resolve)(const char*, void*), void* context);
  std::wstring board_;
  QDCommandDecoderFunction decoder_ = nullptr;
  RangeFunction getErrorRange_ = nullptr;
  MessageFunction getErrorMessage_ = nullptr;
};

}  // namespace zorhost
