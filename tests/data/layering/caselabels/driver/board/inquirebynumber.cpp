// A driver file that answers inquire types by number: the case-label check names the lines that
// expected.txt lists and passes over names, allowed numbers and comments.
namespace zor::board {

int64_t InquireByNumber(int64_t type, int64_t depth) {
  switch (type) {
    case 4127:
      return 1;
    case 0x20000000600:
    case -1:
      return 2;
    case 7701 + kLengthFlag:
      return 3;
    case Q_GRAB_TIMEOUT:
    case protocol::Q_GRAB_PERIOD:
      return 4;
    // case 4142: in a comment passes.
    default:
      break;
  }
  switch (depth) {
    case 8:
    case 16:
      return 5;
    case 0x10:
      return 6;
    default:
      return 0;
  }
}

// Comparisons and ranges: four digits or more, unless listed, and only outside comments.
bool Listed(int64_t type) { return type == kNamed || type == 0x10 || type == 0x1000; }
bool Refused(int64_t type) { return type == 4054; }  // type == 4055 in a comment passes
bool Reserved(int64_t type) { return 5186 != type; }
bool Blocked(int64_t type) { return InRange(type, 69555, 69559); }
bool Run(int64_t type) { return foundation::InRange(Clear(type, kBits), kFirst, 0x20BB8); }

}  // namespace zor::board
