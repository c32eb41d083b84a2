#include "platform/genapi/api/pointer.h"

namespace GenApi {

EAccessMode Combine(EAccessMode First, EAccessMode Second) {
  if (First == NI || Second == NI) return NI;
  if (First == NA || Second == NA) return NA;
  const bool readable = IsReadable(First) && IsReadable(Second);
  const bool writable = IsWritable(First) && IsWritable(Second);
  if (readable && writable) return RW;
  if (readable) return RO;
  if (writable) return WO;
  return NA;
}

}  // namespace GenApi
