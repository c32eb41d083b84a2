// The application's names of a few types.
#pragma once

inline constexpr QINT64 Q_SIZE_X = 1536;
#define Q_GRAB_TIMEOUT 4127
