// IscDataWriteFile: writes the pieces of an ISC-format output file.
#include <ctime>

#include "driver/ieee1532/isc/iscdatafile.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

void IscDataWriteFile(IscInputFile& output, int mode, const char* name, int phase) {
  if (output.stream == nullptr) return;
  if (!output.iscFormat) {
    if (mode == kIscWriteEnd) InputFileWrite(output, 1, "");
    return;
  }
  char text[kIscMessageBufferSize];
  switch (mode) {
    case kIscWriteHeader: {
      time_t now = time(nullptr);
      tm local{};
      localtime_r(&now, &local);
      InputFileWrite(output, 0, "IEEE_1532_Data");
      InputFileWrite(output, 0, "\n(Header (STD_Version STD_1532_2001");
      snprintf(text, sizeof(text), "\n         Creation_Date %04d%02d%02d.%02d%02d",
               local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
      InputFileWrite(output, 0, text);
      snprintf(text, sizeof(text), "\n         Creator \"%s %s\"", "rurura", "4.06");
      InputFileWrite(output, 0, text);
      snprintf(text, sizeof(text), "\n         Entity %s\n        )", name);
      InputFileWrite(output, 0, text);
      return;
    }
    case kIscWriteEnd:
      InputFileWrite(output, 0, "\n)");
      InputFileWrite(output, 1, "");
      return;
    case kIscWriteArray:
      // Arrays are separated as the reader expects, so that a written file reads back.
      if (output.arraysWritten++ > 0) InputFileWrite(output, 0, ",");
      output.dataCrc = 0;
      InputFileWrite(output, 0, "\n  DATA ");
      if (name != nullptr && name[0] != '\0') {
        snprintf(text, sizeof(text), "%s (", name);
        InputFileWrite(output, 0, text);
      }
      return;
    case kIscWriteSection: {
      static const char* const kOpen[] = {"\n    initialize (\n", "\n    repeat (\n",
                                          "\n    terminate (\n"};
      if (phase == kIscWriteSectionEnd) {
        InputFileWrite(output, 0, "\n    )");
        return;
      }
      if (phase < 0 || phase > 2) IscReportf(kIscError, false, nullptr, "writeIscData iMode");
      InputFileWrite(output, 0, kOpen[phase]);
      output.firstRecord = true;
      return;
    }
    case kIscWriteArrayEnd:
      // The array's data CRC, so that the file is checked when it is read back.
      snprintf(text, sizeof(text), "\n    data_crc (%08X)", output.dataCrc);
      InputFileWrite(output, 0, text);
      InputFileWrite(output, 0, "\n  )");
      return;
    default:
      IscReportf(kIscError, false, nullptr, "writeIscData iMode");
  }
}

}  // namespace zor::isc
