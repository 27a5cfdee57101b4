// The diagnostic log (/LOG=file): time-stamped lines for support, about what
// a run did and why it ended as it did. Not the uninstall log (Log.h). Each
// line reaches the disk before the call returns, so a crash or a power loss
// keeps every line written so far. Without an open log every call does nothing.
#pragma once

// Opens Path for appending (created when missing). False when it cannot be.
bool DiagLogOpen(const char* Path);
// "2026-12-10 11:34:48.123 What Detail" on a line of its own. Safe from any
// thread: each line is one appending write.
void DiagLogLine(const char* What, const char* Detail = "");
// "error: What Detail" followed by the system's error code when it is not 0.
void DiagLogError(const char* What, const char* Detail, unsigned long SystemError);
void DiagLogClose();
