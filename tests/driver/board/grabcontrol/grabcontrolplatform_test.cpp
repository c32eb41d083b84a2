// The platform's grab-control library through its entry points, on a table of callbacks that
// record how the library calls them.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/grabcontrol/grabcontrol.h"

using zor::grabcontrol::GrabCtlCallbackTable;

extern "C" {
int64_t QGCdigAlloc(int64_t, int64_t, const GrabCtlCallbackTable*, int64_t*);
int64_t QGCdigFree(int64_t);
int64_t QGCdigControl(int64_t, int64_t, int64_t);
int64_t QGCdigControlDouble(int64_t, int64_t, double);
int64_t QGCdigGrabAbortEx(int64_t, double, int64_t);
int64_t QGCdigGrabContinuous(int64_t, int64_t, int64_t);
int64_t QGCdigHalt(int64_t, int64_t, int64_t);
int64_t QGCdigInquire(int64_t, int64_t, int64_t*, int64_t);
}

namespace zorgrabc {
GrabControl& Library() {
  static GrabControl library;
  return library;
}
}  // namespace zorgrabc

namespace {

std::vector<std::string> calls;
int64_t windowAnswer = 1;
int binding = 0;

std::string Call(const char* name, std::vector<double> words, void* b) {
  std::string text = name;
  for (double word : words) text += " " + std::to_string(word);
  return text + (b == &binding ? "" : " (another binding)");
}

int64_t CheckWindow(int64_t word, int64_t buffer, int64_t value, void* b) {
  calls.push_back(Call("window", {double(word), double(buffer), double(value)}, b));
  return windowAnswer;
}
int64_t ControlInt(int64_t word, int64_t type, int64_t value, void* b, int64_t extra) {
  calls.push_back(Call("control", {double(word), double(type), double(value), double(extra)}, b));
  return 0;
}
int64_t ControlDouble(int64_t word, int64_t type, double value, void* b, int64_t extra) {
  calls.push_back(Call("double", {double(word), double(type), value, double(extra)}, b));
  return 0;
}
int64_t Grab(int64_t word, int64_t buffer, int64_t value, void* b) {
  calls.push_back(Call("grab", {double(word), double(buffer), double(value)}, b));
  return 0;
}
int64_t GrabWait(int64_t, int64_t, void*) { return 0; }
int64_t StopGrab(int64_t word, void* b) {
  calls.push_back(Call("stop", {double(word)}, b));
  return 0;
}
int64_t Inquire(int64_t word, int64_t type, void* out, void* b) {
  calls.push_back(Call("inquire", {double(word), double(type)}, b));
  *static_cast<int64_t*>(out) = type + 1;
  return 0;
}

GrabCtlCallbackTable WholeTable() {
  GrabCtlCallbackTable t{};
  t.size = sizeof(GrabCtlCallbackTable);
  t.version = 1;
  t.checkSourceWindow = &CheckWindow;
  t.digControlInt = &ControlInt;
  t.digControlDouble = &ControlDouble;
  t.digGrab = &Grab;
  t.digGrabWait = &GrabWait;
  t.digStopGrab = &StopGrab;
  t.digInquire = &Inquire;
  t.binding = &binding;
  t.errorPartSize = 72;
  t.errorPartVersion = 2;
  return t;
}

// A session is opened for two host objects and a whole table only; each refusal leaves no handle.
TEST(GrabControlPlatform, ASessionNeedsItsHostObjectsAndAWholeTable) {
  using Change = std::function<void(GrabCtlCallbackTable&)>;
  const Change changes[] = {
      [](GrabCtlCallbackTable& t) { t.size = 143; },
      [](GrabCtlCallbackTable& t) { t.version = 2; },
      [](GrabCtlCallbackTable& t) { t.errorPartSize = 71; },
      [](GrabCtlCallbackTable& t) { t.errorPartVersion = 1; },
      [](GrabCtlCallbackTable& t) { t.checkSourceWindow = nullptr; },
      [](GrabCtlCallbackTable& t) { t.digControlInt = nullptr; },
      [](GrabCtlCallbackTable& t) { t.digControlDouble = nullptr; },
      [](GrabCtlCallbackTable& t) { t.digGrab = nullptr; },
      [](GrabCtlCallbackTable& t) { t.digGrabWait = nullptr; },
      [](GrabCtlCallbackTable& t) { t.digStopGrab = nullptr; },
      [](GrabCtlCallbackTable& t) { t.digInquire = nullptr; },
      [](GrabCtlCallbackTable& t) { t.binding = nullptr; },
  };
  int row = 0;
  for (const Change& change : changes) {
    GrabCtlCallbackTable table = WholeTable();
    change(table);
    int64_t handle = 99;
    EXPECT_EQ(QGCdigAlloc(1, 2, &table, &handle), zorgrabc::kFailed) << row;
    EXPECT_EQ(handle, 0) << row++;
  }
  const GrabCtlCallbackTable table = WholeTable();
  for (const auto& [system, digitizer] : {std::pair{0, 2}, {1, 0}}) {
    int64_t handle = 99;
    EXPECT_EQ(QGCdigAlloc(system, digitizer, &table, &handle), zorgrabc::kFailed);
    EXPECT_EQ(handle, 0) << system << " " << digitizer;
  }
  EXPECT_EQ(QGCdigAlloc(1, 2, nullptr, nullptr), zorgrabc::kFailed);
  EXPECT_EQ(QGCdigAlloc(1, 2, &table, nullptr), zorgrabc::kFailed);
  int64_t first = 0, second = 0;
  EXPECT_EQ(QGCdigAlloc(1, 2, &table, &first), zorgrabc::kDone);
  EXPECT_EQ(QGCdigAlloc(1, 2, &table, &second), zorgrabc::kDone);
  EXPECT_NE(first, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(QGCdigFree(first), zorgrabc::kDone);
  EXPECT_EQ(QGCdigFree(second), zorgrabc::kDone);
  EXPECT_TRUE(calls.empty());
}

// Each entry point calls back through its own session's table with what it was given; a freed
// session answers none (the state word needs none), and a grab into a buffer whose window the
// driver refuses is not started.
TEST(GrabControlPlatform, EachEntryPointCallsBackThroughItsSession) {
  const GrabCtlCallbackTable table = WholeTable();
  int64_t handle = 0;
  ASSERT_EQ(QGCdigAlloc(1, 2, &table, &handle), zorgrabc::kDone);
  int64_t answer = 0;
  int64_t state = 0;
  const std::function<int64_t()> entries[] = {
      [&] { return QGCdigControl(handle, 4018, 7); },
      [&] { return QGCdigControlDouble(handle, 6600, 0.5); },
      [&] { return QGCdigGrabAbortEx(handle, 2.5, 9); },
      [&] { return QGCdigGrabContinuous(handle, 33, 1); },
      [&] { return QGCdigHalt(handle, 3, 4); },
      [&] { return QGCdigInquire(handle, 1536, &answer, 5); },
      [&] { return QGCdigInquire(handle, zor::grabcontrol::kLibraryInquire, &state, 0); },
  };
  for (const auto& entry : entries) EXPECT_EQ(entry(), zorgrabc::kDone);
  EXPECT_EQ(calls, (std::vector<std::string>{
                       Call("control", {0, 4018, 7, 0}, &binding),
                       Call("double", {0, 6600, 0.5, 0}, &binding),
                       Call("double", {0, 6643, 2.5, 9}, &binding),
                       Call("window", {0, 33, 0}, &binding),
                       Call("grab", {0, 33, -1}, &binding),
                       Call("stop", {0}, &binding),
                       Call("inquire", {0, 1536}, &binding),
                   }));
  EXPECT_EQ(answer, 1537);
  EXPECT_EQ(state, zorgrabc::kServing);
  calls.clear();
  windowAnswer = 0;
  EXPECT_EQ(QGCdigGrabContinuous(handle, 34, 1), zorgrabc::kInvalidBuffer);
  windowAnswer = 1;
  EXPECT_EQ(calls, std::vector<std::string>{Call("window", {0, 34, 0}, &binding)});
  EXPECT_EQ(QGCdigInquire(handle, 1536, nullptr, 0), zorgrabc::kFailed);
  EXPECT_EQ(QGCdigFree(handle), zorgrabc::kDone);
  calls.clear();
  for (size_t i = 0; i + 1 < std::size(entries); ++i) {
    EXPECT_EQ(entries[i](), zorgrabc::kFailed) << i;
  }
  EXPECT_EQ(entries[std::size(entries) - 1](), zorgrabc::kDone);
  EXPECT_EQ(QGCdigFree(handle), zorgrabc::kFailed);
  EXPECT_TRUE(calls.empty());
}

}  // namespace
