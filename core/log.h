// DRAVLog.txt: append-only debug log, written only when DebugEnabled is 1.
#pragma once

#include <cstdint>

// Name of the log file in the plug-in's folder.
inline constexpr const char* kDravLogFile = "DRAVLog.txt";

// Shared formatting buffer for log messages with arguments (512 bytes, as every log line).
inline constexpr int kDravLogLineSize = 512;
extern char g_DRAV_Buffer[kDravLogLineSize];

// Works out the log's path once (main thread, at start); later lines from any thread use it.
void DRAV_CacheLogPath();

// Appends the message and LF as one line (truncated to fit a 512-byte line).
void DRAV_WriteToLog(const char* message);

// printf-style convenience; safe on any thread (formats into a buffer of its own).
void DRAV_WriteToLogf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A message for the simulator's log ("DRAV: " before it; always) and for DRAVLog.txt (when on).
// Main thread only: it calls the simulator.
void DRAV_Reportf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "<label> = <16 bits>", bit 0 first.
void DRAV_LogControlState(const char* label, uint16_t state);
// "<label> = <32 bits>", bit 31 first (higher bits are not shown).
void DRAV_LogControlState64(const char* label, uint64_t state);
