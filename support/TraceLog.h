#pragma once
// Process-wide diagnostic log: one timestamped line per call, filtered by level, usable from any thread.
#include <windows.h>

void Trace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SetTraceFile(const char* prefix);
void SetTraceLevel(int level);

// The clock the log reads its local time from; tests put a clock of their own here (nullptr: GetLocalTime).
using TraceClock = void (*)(SYSTEMTIME* now);
void SetTraceClock(TraceClock clock);
