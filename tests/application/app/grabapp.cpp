// An application as users write one: the installed headers and libZOR.so, nothing else. It
// checks what only an installation shows: the application builds and links against it, and
// libZOR.so finds the driver, its camera files and the GenICam runtime where an installer put
// them; what the application calls do is tested in the tree (tests/platform/host). It builds
// as C++11 and later, runs on the simulated board, says on stderr which check failed, and exits
// with 1 when any did.
#include <zor/zor.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

int failures = 0;

void Check(bool ok, const char* what) {
  if (ok) return;
  ++failures;
  wchar_t message[Q_ERROR_TEXT_SIZE] = {};
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  QappGetError(Q_DEFAULT, Q_MESSAGE, message);
  std::fprintf(stderr, "grabapp: FAILED: %s (current error %lld: %ls)\n", what,
               static_cast<long long>(code), message);
}

QINT64 Error() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr); }

// A grab into a mono buffer: a row of the simulator's ramp takes many levels, not one.
void Grab(QID system, QID digitizer) {
  QID buffer = 0;
  QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  Check(buffer != 0, "buffer allocated");
  QdigGrab(digitizer, buffer);
  Check(Error() == 0, "grab");
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  QbufGet(buffer, pixels.data());
  const auto row = pixels.begin() + 200 * kWidth;
  Check(std::set<uint8_t>(row, row + kWidth * 3 / 4).size() > 32, "the grab holds the ramp");
  QbufFree(buffer);
}

// One system with a digitizer of the default device number; false when there is none.
bool Run() {
  QID system = 0;
  QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", Q_DEFAULT, Q_DEFAULT, &system);
  Check(system != 0, "system allocated");
  if (system == 0) return false;
  // Q_NULL for the unasked out pointer, as most programs write it.
  const QID digitizer = QdigAlloc(system, Q_DEFAULT, L"Q_NTSC", Q_DEFAULT, Q_NULL);
  Check(digitizer != 0, "digitizer of the default device number allocated");
  if (digitizer != 0) {
    Grab(system, digitizer);
    // The generated feature constants are installed beside the headers.
    QINT64 scanMode = -1;
    QdigInquire(digitizer, Q_SCAN_MODE, &scanMode);
    Check(Error() == 0 && scanMode == Q_INTERLACED, "the scan mode reads as its constant");
    // The C++ forms of every language mode: a double control, a text answer into a ZOR_STRING.
    QdigControl(digitizer, Q_CONTRAST_REF, 100.0);
    double contrast = 0;
    QdigInquire(digitizer, Q_CONTRAST_REF, &contrast);
    Check(Error() == 0 && contrast == 100.0, "the contrast reads back as a double");
    ZOR_STRING format;
    QdigInquire(digitizer, Q_FORMAT, format);
    Check(Error() == 0 && format == L"Q_NTSC", "the format reads as text");
    QdigFree(digitizer);
  }
  QsysFree(system);
  return digitizer != 0;
}

}  // namespace

int main() {
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  // Freed, the same objects can be allocated again.
  if (Run()) Run();
  if (failures == 0) std::printf("grabapp: every check passed\n");
  return failures == 0 ? 0 : 1;
}
