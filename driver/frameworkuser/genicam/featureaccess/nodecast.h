// A node as one of its interfaces. dynamic_cast across the runtime's virtual
// bases searches the whole class tree on every call, which a read by name
// would pay each time; for one most-derived class the step from INode to the
// interface is always the same, so each thread keeps the step of the class it
// met last.
#pragma once

#include <cstddef>
#include <typeinfo>

#include "platform/genapi/genapi.h"

namespace zor::genicam {

template <class I>
I* NodeAs(GenApi::INode* node) {
  if (node == nullptr) return nullptr;
  struct Step {
    const std::type_info* type = nullptr;
    std::ptrdiff_t offset = 0;
    bool fits = false;
  };
  thread_local Step last;
  const std::type_info& type = typeid(*node);
  auto* bytes = reinterpret_cast<char*>(node);
  if (last.type != &type) {
    I* cast = dynamic_cast<I*>(node);
    last.type = &type;
    last.fits = cast != nullptr;
    last.offset = cast != nullptr ? reinterpret_cast<char*>(cast) - bytes : 0;
    return cast;
  }
  return last.fits ? reinterpret_cast<I*>(bytes + last.offset) : nullptr;
}

// The same where the node must be one: std::bad_cast otherwise, as a
// dynamic_cast to a reference throws.
template <class I>
I& NodeAsRef(GenApi::INode* node) {
  if (I* cast = NodeAs<I>(node)) return *cast;
  throw std::bad_cast();
}

}  // namespace zor::genicam
