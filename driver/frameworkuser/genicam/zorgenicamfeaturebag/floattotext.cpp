// The shortest text of a double that reads back as the same value.
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/floattotext.h"

#include <locale>
#include <sstream>

namespace zor::genicam {

std::string FloatToText(double value) {
  std::string text;
  for (int precision = 6; precision <= 18; ++precision) {
    // The classic locale: a program's own locale must not turn the point into a comma.
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(precision);
    out << value;
    text = out.str();
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double back = 0.0;
    in >> back;
    if (back == value) break;
  }
  return text;
}

}  // namespace zor::genicam
