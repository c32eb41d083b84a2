// What the test controller library saw; tests link it and the driver loads
// the same library by its path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#define ZOR_TEST_CONTROLLER_API __attribute__((visibility("default")))

struct SeenControllerRecord {
  uint32_t kind;
  int64_t owner;
  int64_t id;
  int64_t zero;
  uint32_t four;
  std::string name;
  std::string title;
  std::string controlPrefix;
  std::string inquirePrefix;
  std::string fourthText;
};

struct SeenControllerCall {
  int64_t owner;
  int64_t count;
  std::vector<SeenControllerRecord> records;
};

// Forgets what was seen; every record then gets one feature event with the
// value.
ZOR_TEST_CONTROLLER_API void TestControllerReset(int64_t eventValue);
ZOR_TEST_CONTROLLER_API std::vector<SeenControllerCall> TestControllerCalls();
ZOR_TEST_CONTROLLER_API std::vector<int64_t> TestControllerDeletedHandles();
