// XML file names of the host objects' node maps.
#pragma once

#include <cstdint>
#include <string>

namespace zor::genicam {

class CZorTransportLayerBase;

// The name of a system type in XML file names; empty for types without one.
std::wstring SystemTypeXmlName(int64_t systemType);

// The system-type name of the port's owner system.
std::wstring GetSystemTypeXmlName(const CZorTransportLayerBase& port);

}  // namespace zor::genicam
