// grabapp.cpp as a C11 program writes it: the installed <zor/zor.h> and libZOR.so, nothing else.
// It grabs on the simulated board, reads constants of the generated feature header, a double and
// a text answer, says on stderr which check failed, and exits with 1 when any did.
#include <stdint.h>
#include <stdio.h>
#include <wchar.h>
#include <zor/zor.h>

enum { kWidth = 640, kHeight = 480, kFormatRoom = 16 };

static int failures = 0;

static QINT64 Error(void) { return QappGetError(Q_DEFAULT, Q_CURRENT, Q_NULL); }

static void Check(int ok, const char* what) {
  wchar_t message[Q_ERROR_TEXT_SIZE] = {0};
  const QINT64 code = Error();
  if (ok) return;
  ++failures;
  QappGetError(Q_DEFAULT, Q_MESSAGE, message);
  fprintf(stderr, "grabapp.c: FAILED: %s (current error %lld: %ls)\n", what, (long long)code,
          message);
}

// A grab into a mono buffer: a row of the simulator's ramp takes many levels, not one.
static void Grab(QID system, QID digitizer) {
  static uint8_t pixels[kWidth * kHeight];
  unsigned char seen[256] = {0};
  int levels = 0;
  QID buffer = 0;
  QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, &buffer);
  Check(buffer != 0, "buffer allocated");
  QdigGrab(digitizer, buffer);
  Check(Error() == 0, "grab");
  QbufGet(buffer, pixels);
  for (int x = 0; x < kWidth * 3 / 4; ++x) {
    const uint8_t level = pixels[200 * kWidth + x];
    levels += !seen[level];
    seen[level] = 1;
  }
  Check(levels > 32, "the grab holds the ramp");
  QbufFree(buffer);
}

// What the header says each answer is: an integer, a double, a text sized first.
static void Answers(QID digitizer) {
  QINT64 scanMode = -1;
  double contrast = 0;
  QINT64 length = 0;
  wchar_t format[kFormatRoom] = {0};
  QdigInquire(digitizer, Q_SCAN_MODE, &scanMode);
  Check(Error() == 0 && scanMode == Q_INTERLACED, "the scan mode reads as its constant");
  QdigControlDouble(digitizer, Q_CONTRAST_REF, 100.0);
  QdigInquire(digitizer, Q_CONTRAST_REF, &contrast);
  Check(Error() == 0 && contrast == 100.0, "the contrast reads back as a double");
  QdigInquire(digitizer, Q_FORMAT + Q_STRING_SIZE, &length);
  Check(length == 7, "the format's length counts its terminator");
  if (length > 0 && length <= kFormatRoom) QdigInquire(digitizer, Q_FORMAT, format);
  Check(wcscmp(format, L"Q_NTSC") == 0, "the format reads as text");
}

// One system with a digitizer of the default device number; 0 when there is none.
static int Run(void) {
  QID system = 0;
  QID digitizer = 0;
  QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", Q_DEFAULT, Q_DEFAULT, &system);
  Check(system != 0, "system allocated");
  if (system == 0) return 0;
  digitizer = QdigAlloc(system, Q_DEFAULT, L"Q_NTSC", Q_DEFAULT, Q_NULL);
  Check(digitizer != 0, "digitizer of the default device number allocated");
  if (digitizer != 0) {
    Grab(system, digitizer);
    Answers(digitizer);
    QdigFree(digitizer);
  }
  QsysFree(system);
  return digitizer != 0;
}

int main(void) {
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  // Freed, the same objects can be allocated again.
  if (Run()) Run();
  if (failures == 0) printf("grabapp.c: every check passed\n");
  return failures == 0 ? 0 : 1;
}
