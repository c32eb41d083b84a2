#pragma once

#include <cstdint>

#include "driver/firmware/staplporthost.h"

// Shows what a STAPL program prints and exports on the console.
class CConsoleStaplHost : public zor::firmware::CStaplPortHost {
 public:
  using zor::firmware::CStaplPortHost::CStaplPortHost;

  void StaplMessage(const char* text) override;
  void StaplExport(const char* key, int64_t value) override;
  void StaplExportBits(const char* key, const uint32_t* bits, int64_t count) override;
};
