// Counts the process's allocations through operator new while switched on.
#pragma once

namespace zor::genicam {

void CountAllocations(bool on);
int AllocationCount();

}  // namespace zor::genicam
