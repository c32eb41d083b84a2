// A driver file that records errors by number: the error-code check names the lines that
// expected.txt lists and passes over the types, pixel values and comments.
#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::board {
namespace {

constexpr int64_t kRefused = 4307;
constexpr uint64_t kLineGlitchError = 4342;
constexpr int64_t kInquireGrabState = 4385;
constexpr int64_t kWhiteLevel = 4400;
constexpr int64_t kOpcode = 0x4307;

}  // namespace

void RecordsByNumber(Context& ctx, Status& status, int64_t type) {
  ctx.SetError(4310, 1, 0, 0);
  ctx.SetError(kRefused, 3, 0, 0);
  if (type == 0) throw CError(4339, 2);
  HostFuncErrorReport(function, 4356, L" ", nullptr, nullptr, nullptr);
  if (ctx.ErrorCode() == 4318) return;
  if (4321 != status.code) return;
  status.code = 4320;
  if (exception.GetCodeA() != 4436) return;
  if (opcode == 4330 || status.subCode == 4331) return;
  switch (type) {
    case 4364:
      return;
  }
  if (type == kInquireGrabState || type == 4385) SetPixel(kWhiteLevel, 4400, kOpcode);
  // ctx.SetError(4307, 1, 0, 0) in a comment passes.
  ctx.SetError(errorcode::kInvalidControl, 1, 0, 0);
}

}  // namespace zor::board
