#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "driver/firmware/stapl/jtaglayer.h"
#include "driver/firmware/stapl/staplresult.h"
#include "platform/boardsim/jtag/tapstate.h"
#include "tests/driver/firmware/stapl/stapltesthost.h"

using namespace zor::firmware;

namespace {

struct Traced {
  StaplRun run;
  std::string tms;
  std::string tdi;
  std::string tdo;
};

// A body of a procedure, or (lineOriented) a whole line-oriented program.
Traced RunTraced(const std::string& body, const std::string& decls = "", int devices = 1,
                 bool lineOriented = false) {
  StaplBench bench;
  for (int i = 0; i < devices; ++i) bench.chain.AddDevice(MakeDevice(4, 0x10000001u + 2 * i));
  bench.chain.EnableTrace(true);
  Traced t;
  t.run = lineOriented ? bench.Run(body) : bench.Run(Proc(body, decls), "DO");
  for (const boardsim::JtagTraceEntry& e : bench.chain.Trace()) {
    t.tms.push_back(e.tms ? '1' : '0');
    t.tdi.push_back(e.tdi ? '1' : '0');
    t.tdo.push_back(e.tdo ? '1' : '0');
  }
  return t;
}

const std::string kReset = "111110";  // five TMS-high clocks, one low: Run-Test/Idle

// TMS clocks written in groups for reading: the blanks go.
std::string Clocks(std::string groups) {
  groups.erase(std::remove(groups.begin(), groups.end(), ' '), groups.end());
  return groups;
}

// A run as "outcome|TMS clocks|waits".
std::string Shown(const Traced& t) {
  std::string waits;
  for (const int64_t us : t.run.delays) waits += (waits.empty() ? "" : ",") + std::to_string(us);
  return Outcome(t.run) + "|" + t.tms + "|" + waits;
}

// Each statement's clocks after the reset a scan from an unknown state starts with, and before
// the reset that ends every run. A data scan enters Shift-DR (1 0 0), shifts (TMS high on the
// last bit), passes Pause-DR and walks to Idle; a stable state that holds takes one clock; from
// Pause-DR a wait walks to Idle, clocks there and stays.
TEST(StaplTap, ClocksOfEachStatement) {
  const struct {
    const char* body;
    const char* clocks;
    const char* waits;
  } rows[] = {{"DRSCAN 4, #1010;", "100 0001 0 110", ""},
              {"STATE IDLE; STATE IDLE;", "0", ""},
              {"STATE RESET; STATE RESET;", "111 1", ""},
              {"STATE DRSELECT; STATE DRSELECT;", "1", ""},
              {"STATE IRPAUSE, DRSHIFT IDLE;", "11010 11100 110", ""},
              {"DRSTOP DRSHIFT; DRSCAN 2, #11; DRSCAN 2, #11;", "100 01 0 10  10 10 01 0 10", ""},
              {"IRSTOP IRPAUSE; IRSCAN 4, #1111; IRSCAN 4, #1111;", "1100 0001 0  0 10 0001 0", ""},
              {"DRSTOP DRPAUSE; DRSCAN 1, #1; WAIT 10 CYCLES;", "100 1 0 110 0000000000", ""},
              {"DRSTOP DRPAUSE; DRSCAN 1, #1; WAIT DRPAUSE, 10 CYCLES;", "100 1 0 0000000000", ""},
              {"WAIT RESET, 3 CYCLES, 250 USEC, 2 CYCLES, DRPAUSE;", "111 111 11 01010", "250"},
              {"TRST 2 CYCLES;", "00", ""}};
  for (const auto& row : rows) {
    EXPECT_EQ(Shown(RunTraced(row.body)),
              "success|" + kReset + Clocks(row.clocks) + kReset + "|" + row.waits)
        << row.body;
  }
  EXPECT_EQ(RunTraced("DRSCAN 4, #1010;").tdi.substr(9, 4), "0101");
  // The state stays unknown: no reset at the end either.
  EXPECT_EQ(Shown(RunTraced("WAIT 1000 USEC;")), "success||1000");
}

TEST(StaplTap, PreAndPostambleSurroundTheData) {
  Traced t = RunTraced("PREDR 2; POSTDR 1; DRSCAN 4, #0000;");
  ASSERT_EQ(t.run.rc, kStaplSuccess);
  EXPECT_EQ(t.tms.substr(6), Clocks("100 0000001 0 110") + kReset);
  EXPECT_EQ(t.tdi.substr(9, 7), "1100001");
  Traced data = RunTraced("PREIR 3, #010; POSTIR 2, #01; IRSCAN 2, #11;");
  ASSERT_EQ(data.run.rc, kStaplSuccess);
  EXPECT_EQ(data.tms.substr(6, 4 + 7), Clocks("1100 0000001"));
  EXPECT_EQ(data.tdi.substr(10, 7), "0101110");
  // Older programs pad with ones.
  data = RunTraced("PADDING 1, 2, 3, 4;\nDRSCAN 1, 0;\nIRSCAN 1, 0;\nEXIT 0;\n", "", 1, true);
  ASSERT_EQ(data.run.rc, kStaplSuccess);
  EXPECT_EQ(data.tdi.substr(9, 4), "1011");
  EXPECT_EQ(data.tdi.substr(22, 8), "11101111");
}

TEST(StaplTap, EveryStateByNameAndEveryWalk) {
  EXPECT_EQ(RunTraced("STATE NOWHERE;").run.rc, kStaplSyntaxError);
  // Each of the sixteen names is its own state.
  const char* const names[] = {"RESET",    "IDLE",     "DRSELECT",  "DRCAPTURE",
                               "DRSHIFT",  "DREXIT1",  "DRPAUSE",   "DREXIT2",
                               "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT",
                               "IREXIT1",  "IRPAUSE",  "IREXIT2",   "IRUPDATE"};
  for (int state = 0; state < 16; ++state) {
    EXPECT_EQ(StaplTapStateByName(names[state]), static_cast<zor::jtag::TapState>(state))
        << names[state];
  }
  // From every state to every other, after a second visit to the first: the devices' TAP ends
  // where asked, by a shortest walk that resets nothing on its way, and a state that holds takes
  // its one clock.
  using zor::jtag::TapState;
  auto distance = [](int from, int to) {
    std::vector<int> d(16, -1), queue{from};
    d[from] = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
      if (i > 0 && queue[i] == 0) continue;  // a walk passes Reset only to stay there
      for (bool tms : {false, true}) {
        const int n = static_cast<int>(boardsim::NextTapState(TapState(queue[i]), tms));
        if (d[n] < 0) d[n] = d[queue[i]] + 1, queue.push_back(n);
      }
    }
    return d[to];
  };
  auto holds = [](int s) {
    return boardsim::NextTapState(TapState(s), false) == TapState(s) ||
           boardsim::NextTapState(TapState(s), true) == TapState(s);
  };
  for (int from = 0; from < 16; ++from) {
    for (int to = 0; to < 16; ++to) {
      const std::string at = names[from], next = names[to];
      Traced t = RunTraced("STATE " + at + "; STATE " + at + "; STATE " + next + ";");
      TapState tap = TapState::kReset;
      for (size_t i = 0; i + kReset.size() < t.tms.size(); ++i) {
        tap = boardsim::NextTapState(tap, t.tms[i] == '1');
      }
      EXPECT_EQ(tap, TapState(to)) << at << " to " << next;
      EXPECT_EQ(t.tms.size(), 2 * kReset.size() + distance(1, from) + holds(from) +
                                  (from == to ? holds(to) : distance(from, to)))
          << at << " to " << next;
    }
  }
}

TEST(StaplTap, RefusedWaits) {
  // Each refused form: no count, an unknown unit or state, a second wait or end state, a count
  // after the end state, a count that is no integer, no semicolon.
  const std::pair<const char*, const char*> refused[] = {
      {"WAIT IDLE;", "syntax error"},
      {"WAIT;", "syntax error"},
      {"WAIT 5 SECONDS;", "syntax error"},
      {"WAIT 5;", "syntax error"},
      {"WAIT NOWHERE, 5 CYCLES;", "syntax error"},
      {"WAIT IDLE, IDLE, 5 CYCLES;", "syntax error"},
      {"WAIT IDLE, 5 CYCLES, DRPAUSE, IDLE;", "syntax error"},
      {"WAIT 5 CYCLES, DRPAUSE, 3 CYCLES;", "syntax error"},
      {"WAIT 5 CYCLES, DRPAUSE, 3 USEC;", "syntax error"},
      {"WAIT (1 == 1) CYCLES;", "type mismatch"},
      {"WAIT N CYCLES;", "undefined symbol"},
      {"WAIT 5 CYCLES", "syntax error"}};
  // A refused wait clocks nothing and waits for nothing.
  for (const auto& [statement, outcome] : refused) {
    EXPECT_EQ(Shown(RunTraced(statement)), std::string(outcome) + "||") << statement;
  }
}

// All devices in BYPASS: the data come back one bit late per device.
TEST(StaplTap, CaptureAndCompareThroughBypass) {
  const StaplCase twoDevices[] = {
      {"IRSCAN 8, $FF; DRSCAN 8, $81, CAPTURE C[7..0]; PRINT INT(C[]);"
       "DRSCAN 8, $81, COMPARE $04, $FF, OK; PRINT OK;"
       "DRSCAN 8, $81, COMPARE $05, $FE, OK; PRINT OK;"
       "DRSCAN 8, $81, COMPARE $03, $FF, OK; PRINT OK;",
       "BOOLEAN C[8]; BOOLEAN OK;", "success|4|1|1|0"}};
  ExpectOutcomes(twoDevices, 2);
  const StaplCase cases[] = {
      {"IRSCAN 4, $F; DRSCAN 4, #1001, COMPARE #0010, #1111, OK; PRINT OK;", "BOOLEAN OK;",
       "success|1"},
      // Literals longer than the scan are cut to it.
      {"IRSCAN 4, $F; DRSCAN 4, #1001, COMPARE $02, $FF, OK; PRINT OK;", "BOOLEAN OK;",
       "success|1"},
      {"DRSCAN 8, $81, CAPTURE C[3..0];", "BOOLEAN C[8];", "bounds error"},
      {"DRSCAN 8, #1111111;", "", "bounds error"},  // one bit short
      {"DRSCAN 9, $FF;", "", "bounds error"},
      {"DRSCAN 8, $81, COMPARE $02, $FF, I;", "INTEGER I;", "type mismatch"},
      // The expected bits and the mask each as long as the scan.
      {"DRSCAN 8, $81, COMPARE E[3..0], $FF, OK;", "BOOLEAN E[8]; BOOLEAN OK;", "bounds error"},
      {"DRSCAN 8, $81, COMPARE $04, E[3..0], OK;", "BOOLEAN E[8]; BOOLEAN OK;", "bounds error"},
      {"DRSCAN 8, $81, KEEP C[7..0];", "BOOLEAN C[8];", "syntax error"},
      {"DRSCAN 1 == 1, #1;", "", "type mismatch"},
      {"DRSTOP SOMEWHERE;", "", "syntax error"},
      {"PREIR 1001;", "", "syntax error"},
      {"PREDR 1000;", "", "success"},
      {"POSTDR 8, #101;", "", "bounds error"},
      {"POSTDR B;", "BOOLEAN B;", "type mismatch"},
      {"VMAP \"TCK\", \"NOPE\";", "", "vector signal name not found"},
      {"VMAP TCK;", "", "syntax error"},
      // Each vector holds a bit for every mapped signal.
      {"VMAP \"TDO\", \"TDI\", \"TCK\"; VECTOR A[1..0], #101;", "BOOLEAN A[3];", "bounds error"},
      {"VMAP \"TDO\", \"TDI\", \"TCK\"; VECTOR #011, A[1..0];", "BOOLEAN A[3];", "bounds error"}};
  ExpectOutcomes(cases, 1);
}

TEST(StaplTap, VectorsDriveNoPins) {
  Traced t = RunTraced(
      "VMAP \"TDO\", \"tdi\", \"**TCK**\";"
      "VECTOR #011, #101, CAPTURE C[2..0]; PRINT INT(C[]);"
      "VECTOR #111, #101;"
      "VECTOR BOOL(3), BOOL(5), COMPARE #100, #111, OK; PRINT OK;",
      "BOOLEAN C[3]; BOOLEAN OK;");
  ASSERT_EQ(t.run.rc, kStaplSuccess);
  // TDO (signal 2 after the reversal) is an input: it reads back its data bit.
  EXPECT_EQ(t.run.messages, (std::vector<std::string>{"4", "1"}));
  EXPECT_EQ(t.tms, "");
  // At most 256 signals: more is no map at all.
  std::string names = "VMAP \"X\"";
  for (int i = 1; i < 256; ++i) names += ", \"X\"";
  EXPECT_EQ(RunTraced(names + ";").run.rc, kStaplVectorMapFailed);
  EXPECT_EQ(RunTraced(names + ", \"X\";").run.rc, kStaplSyntaxError);
}

}  // namespace
