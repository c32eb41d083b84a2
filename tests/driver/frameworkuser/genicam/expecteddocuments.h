// Documents as the writer must give them, kept in the test data one a line: the case, a tab,
// the document.
#pragma once

#include <map>
#include <sstream>
#include <string>

#include "tests/support/testdata/testdata.h"

namespace genicamtest {

inline std::string ExpectedDocument(const std::string& name) {
  static const std::map<std::string, std::string> documents = [] {
    std::map<std::string, std::string> lines;
    std::istringstream text(zortest::ReadTestData("genicam/documents.txt"));
    for (std::string line; std::getline(text, line);) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) lines[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return lines;
  }();
  const auto found = documents.find(name);
  return found != documents.end() ? found->second : "no expected document: " + name;
}

}  // namespace genicamtest
