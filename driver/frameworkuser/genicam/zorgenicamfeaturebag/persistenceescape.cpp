// Escapes TAB, line breaks and backslashes in a persistence field.
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/persistenceescape.h"

namespace zor::genicam {

std::string EscapePersistenceField(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        escaped += c;
        break;
    }
  }
  return escaped;
}

}  // namespace zor::genicam
