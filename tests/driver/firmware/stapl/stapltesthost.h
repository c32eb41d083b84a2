#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "driver/firmware/stapl/staplexecute.h"
#include "driver/firmware/stapl/staplresult.h"
#include "driver/firmware/staplporthost.h"
#include "platform/boardsim/jtag/simiscdevice.h"
#include "platform/boardsim/jtag/simjtagchain.h"

// What a program printed, exported and waited for.
struct StaplRecord {
  std::vector<std::string> messages;
  std::vector<std::pair<std::string, int64_t>> exports;
  std::vector<std::pair<std::string, std::string>> bitExports;  // bits high to low
  std::vector<int64_t> delays;
};

// Runs programs against a simulated chain behind a board port; records what they print, export
// and wait instead of waiting.
class CStaplTestHost : public zor::firmware::CStaplPortHost, public StaplRecord {
 public:
  CStaplTestHost(const std::string& program, zor::firmware::CJtagProgrammer& port)
      : zor::firmware::CStaplPortHost(program.data(), static_cast<int32_t>(program.size()), port) {}

  void StaplMessage(const char* text) override { messages.emplace_back(text); }
  void StaplExport(const char* key, int64_t value) override { exports.emplace_back(key, value); }
  void StaplExportBits(const char* key, const uint32_t* bits, int64_t count) override {
    std::string text;
    for (int64_t i = count; i-- > 0;) text.push_back((bits[i / 32] >> (i % 32)) & 1 ? '1' : '0');
    bitExports.emplace_back(key, text);
  }
  void StaplDelay(int64_t microseconds) override { delays.push_back(microseconds); }
};

struct StaplRun : StaplRecord {
  int rc = -1;
  int32_t errorLine = 0;
  int32_t exitCode = -1;
};

// A chain with a board port in front of it.
struct StaplBench {
  StaplBench() : port(&chain) {}

  StaplRun Run(const std::string& program, const char* action = nullptr,
               std::vector<const char*> init = {}) {
    CStaplTestHost host(program, port);
    StaplRun run;
    init.push_back(nullptr);
    run.rc = zor::firmware::StaplExecute(host, action, init.size() > 1 ? init.data() : nullptr,
                                         &run.errorLine, &run.exitCode);
    static_cast<StaplRecord&>(run) = std::move(host);
    return run;
  }

  boardsim::CSimJtagChain chain;
  zor::firmware::CBoardJtagPort port;
};

inline std::unique_ptr<boardsim::CSimJtagDevice> MakeDevice(int irLength,
                                                            std::optional<uint32_t> idcode) {
  boardsim::SimJtagDeviceConfig config;
  config.irLength = irLength;
  config.idcode = idcode;
  return std::make_unique<boardsim::CSimJtagDevice>(config);
}

// A v2 program with one action DO of one procedure P whose body is given.
inline std::string Proc(const std::string& body, const std::string& decls = "") {
  return "ACTION DO = P;\nPROCEDURE P;\n" + decls + body + "\nENDPROC;\nCRC 0000;\n";
}

// A run as one text: its result, then each line it printed ("success|7|x").
inline std::string Outcome(const StaplRun& run) {
  std::string text = zor::firmware::StaplResultText(run.rc);
  for (const std::string& message : run.messages) text += "|" + message;
  return text;
}

// A procedure body, its declarations and the run's outcome.
struct StaplCase {
  std::string body;
  std::string decls;
  std::string outcome;
};

// Runs a body as the procedure of Proc on a chain without devices.
inline StaplRun RunProc(const std::string& body, const std::string& decls = "",
                        std::vector<const char*> init = {}) {
  StaplBench bench;
  return bench.Run(Proc(body, decls), "DO", std::move(init));
}

// Runs each body as the procedure of Proc, on a chain of that many devices of 4-bit IRs.
template <size_t N>
void ExpectOutcomes(const StaplCase (&cases)[N], int devices = 0) {
  for (const StaplCase& c : cases) {
    StaplBench bench;
    for (int i = 0; i < devices; ++i) bench.chain.AddDevice(MakeDevice(4, 0x10000001u + 2 * i));
    EXPECT_EQ(Outcome(bench.Run(Proc(c.body, c.decls), "DO")), c.outcome)
        << c.decls.substr(0, 60) << c.body.substr(0, 60);
  }
}
