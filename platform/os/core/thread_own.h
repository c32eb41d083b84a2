// A thread's own object of a type, made on the thread's first use.
#pragma once

namespace os::detail {

// Reached through one plain thread-local pointer: the owner, with its guard and destructor, is
// touched only on the thread's first call. Null once the thread has destroyed its object, for
// destructors that run after it while the thread ends.
template <class T>
T* ThreadOwn() {
  struct Pointer {
    T* object = nullptr;
    bool gone = false;
  };
  thread_local Pointer pointer;
  if (pointer.object == nullptr && !pointer.gone) {
    struct Owner {
      ~Owner() {
        pointer.object = nullptr;
        pointer.gone = true;
      }
      T object;
    };
    thread_local Owner owner;
    pointer.object = &owner.object;
  }
  return pointer.object;
}

}  // namespace os::detail
