// Escaping of the names and values written into persistence lines.
#pragma once

#include <string>
#include <string_view>

namespace zor::genicam {

// A name or value as one field of a persistence line: a TAB, a line break or a backslash in
// it would end the field or the line, so they are written as \t, \n, \r and \\.
std::string EscapePersistenceField(std::string_view text);

}  // namespace zor::genicam
