// QDCommandWrapper: typed reads of a command record's slots, and the sizes of its text arguments.
#include "driver/frameworkuser/command/commandwrapper.h"

#include <limits>

namespace zor::frame {
namespace {

constexpr uint32_t kIgnoredTypeBit = 0x10000000;
constexpr uint32_t kArrayBit = 0x8000000;
// A text without a terminator this far is not read any further.
constexpr int64_t kMaxTextElements = int64_t{1} << 20;

template <typename Char>
int64_t CountWithTerminator(const Char* text) {
  for (int64_t i = 0; i < kMaxTextElements; ++i) {
    if (text[i] == Char{0}) return i + 1;
  }
  return 0;
}

}  // namespace

bool IsTextType(uint32_t maskedType) {
  switch (maskedType & ~kIgnoredTypeBit) {
    case QD_TYPE_STRING:
    case QD_TYPE_FILE_NAME_STRING:
    case QD_TYPE_STRING_OUT:
    case QD_TYPE_WSTRING:
    case QD_TYPE_WFILE_NAME:
    case QD_TYPE_WSTRING_OUT:
      return true;
    default:
      return false;
  }
}

bool IsWideTextType(uint32_t maskedType) {
  return IsTextType(maskedType) && (maskedType & QD_TYPE_WIDE) != 0;
}

int64_t ElementSize(uint32_t maskedType) {
  const uint32_t type = maskedType & ~kIgnoredTypeBit;
  if (IsTextType(type)) return IsWideTextType(type) ? int64_t{sizeof(wchar_t)} : 1;
  uint32_t base = type;
  if ((type & ~0xFu) == kArrayBit) base = type & 0xF;
  switch (base) {
    case QD_TYPE_ID:
    case QD_TYPE_ADDRESS:
    case QD_TYPE_DOUBLE:
    case QD_TYPE_INT64:
    case QD_TYPE_UINT64:
    case QD_TYPE_FUNCTION:
      return 8;
    case QD_TYPE_INT32:
    case QD_TYPE_UINT32:
    case QD_TYPE_FLOAT:
      return 4;
    case QD_TYPE_UINT8:
    case QD_TYPE_BOOL:
      return 1;
    case QD_TYPE_INT16:
    case QD_TYPE_UINT16:
      return 2;
    default:
      return 0;
  }
}

uint32_t QDCommandWrapper::ArgType(int i) const { return record_->params[i].type & QD_TYPE_MASK; }

int64_t QDCommandWrapper::GetArgInteger(int i) const { return record_->params[i].value.integer; }

double QDCommandWrapper::GetArgDouble(int i) const { return record_->params[i].value.real; }

int64_t QDCommandWrapper::GetArgPointer(int i) const { return record_->params[i].driverIndex; }

ValueRecord QDCommandWrapper::GetArgVariant(int i) const {
  switch (ArgType(i)) {
    case QD_TYPE_ID:
    case QD_TYPE_INT64:
    case QD_TYPE_UINT64:
      return {GetArgInteger(i), kValueInteger};
    case QD_TYPE_DOUBLE:
      return {GetArgInteger(i), kValueDouble};
    default:
      return {0, kValueDouble};
  }
}

int64_t QDCommandWrapper::CommandParamStringLength(int i) const {
  QDCommandParam& param = record_->params[i];
  const uint32_t type = ArgType(i);
  if (!IsTextType(type) || param.count != 0 || (param.flags & QD_PARAM_COUNT_PENDING) == 0) {
    return param.count;
  }
  if (param.value.pointer == nullptr) return 0;
  const int64_t count = IsWideTextType(type)
                            ? CountWithTerminator(static_cast<const wchar_t*>(param.value.pointer))
                            : CountWithTerminator(static_cast<const char*>(param.value.pointer));
  param.count = count;
  return count;
}

int64_t QDCommandWrapper::CommandParamByteSize(int i) const {
  const uint32_t type = ArgType(i) & ~kIgnoredTypeBit;
  const int64_t elementSize = ElementSize(type);
  if (!IsTextType(type) && (type & kArrayBit) == 0) return elementSize;
  const int64_t count = CommandParamStringLength(i);
  // A negative count goes on as it is: every reader takes it for a variable too small.
  if (count < 0) return count;
  // A count whose size no 64-bit number holds has no buffer behind it.
  if (elementSize == 0 || count > std::numeric_limits<int64_t>::max() / elementSize) return 0;
  return count * elementSize;
}

}  // namespace zor::frame
