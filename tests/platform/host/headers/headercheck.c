// The application headers as a program of each language reads them: C11, and C++11 and later
// with the C++ forms. Compiled, never run: each language mode is a test of its own.
#include <zor/zor.h>

#ifdef __cplusplus
#define CHECK(condition, what) static_assert(condition, what)
#else
#define CHECK(condition, what) _Static_assert(condition, what)
#endif

// Constants are 64-bit in every language, feature constants too, also beyond 32 bits.
CHECK(sizeof(Q_DEFAULT) == sizeof(QINT64), "Q_DEFAULT is a QINT64");
CHECK(sizeof(Q_CONTRAST_REF) == sizeof(QINT64), "feature constants are QINT64s");
CHECK(Q_STRING_SIZE == 0x50000000000, "Q_STRING_SIZE keeps its upper bits");
CHECK(Q_MESSAGE == 0x210E0000, "Q_MESSAGE is Q_ERROR_TEXT | Q_CURRENT");
CHECK(Q_FEATURE_SIZE == 0x100FA0000, "Q_FEATURE_SIZE keeps its upper bits");
CHECK(Q_TYPE_UINT8 + Q_FEATURE_USER_ARRAY_SIZE(Q_TYPE_UINT8 + 16) == 0xA000000010,
      "an array size keeps the low 28 bits");
// The preprocessor compares them too.
#if Q_FLOAT != 0x48000000 || Q_HTTP_SERVER != 0x2000000000000
#error "constants the preprocessor reads differ"
#endif

static QINT64 OnGrabEnd(QINT64 hookType, QID event, void* user) {
  (void)event;
  (void)user;
  return hookType;
}

// The calls of an application, in the forms of its language.
QINT64 HeaderCheckCalls(QID system, QID digitizer);
QINT64 HeaderCheckCalls(QID system, QID digitizer) {
  double contrast = 0;
  QINT64 length = 0;
  wchar_t format[32];
  wchar_t message[Q_ERROR_TEXT_SIZE];
  QdigControlDouble(digitizer, Q_CONTRAST_REF, 100.0);
  QdigInquire(digitizer, Q_CONTRAST_REF, &contrast);
  QdigInquire(digitizer, Q_FORMAT + Q_STRING_SIZE, &length);
  QdigInquire(digitizer, Q_FORMAT, format);
  QdigControlFeature(digitizer, Q_FEATURE_EXECUTE, ZOR_TEXT("QdigControl:Q_GRAB_ABORT"),
                     Q_TYPE_COMMAND, Q_NULL);
  QdigHookFunction(digitizer, Q_GRAB_END, OnGrabEnd, Q_NULL);
  QappGetError(Q_DEFAULT, Q_MESSAGE, message);
#ifdef __cplusplus
  ZOR_STRING text;
  QsysControl(system, Q_TIMEOUT, 2.5);
  QdigControl(digitizer, Q_CONTRAST_REF, 100.0f);
  QdigControl(digitizer, Q_GRAB_TIMEOUT, 100);
  QdigControl(digitizer, Q_OBJECT_NAME, L"digitizer");
  QsysInquire(system, Q_SERIAL_NUMBER, text);
  QdigInquire(digitizer, Q_FORMAT, text);
  QdigInquireFeature(digitizer, Q_FEATURE_VALUE, L"QdigControl:Q_FORMAT", Q_TYPE_STRING, text);
  QdigInquireFeature(digitizer, Q_FEATURE_VALUE, L"QdigControl:Q_GRAB_TIMEOUT", Q_TYPE_INT64,
                     &length);
  QsysControlFeature(system, Q_FEATURE_EXECUTE, L"QsysControl:Q_DRIVER_LOG_RESET", Q_TYPE_COMMAND,
                     Q_NULL);
  // A literal 0 is a null value pointer, not the QINT64 of Q_NULL.
  QdigControlFeature(digitizer, Q_FEATURE_EXECUTE, L"QdigControl:Q_GRAB_ABORT", Q_TYPE_COMMAND, 0);
#else
  (void)system;
#endif
  return contrast > 0 ? length : 0;
}
