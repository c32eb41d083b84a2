// Its allowed numbers are this file's only.
namespace zor::board {

int64_t Depth(int64_t depth) {
  switch (depth) {
    case 8:
      return 1;
    case 32:
      return 4;
    default:
      return 0;
  }
}

}  // namespace zor::board
