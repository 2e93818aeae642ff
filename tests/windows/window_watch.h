// Counts the windows the calling thread tries to create, and stops each one
// from appearing, so a test can tell that a call showed no message box (and
// never waits for someone to close one).
#pragma once

// Starts counting; returns false when the watch cannot be set up.
bool StartWindowWatch();
void StopWindowWatch();
int WindowsAttempted();
