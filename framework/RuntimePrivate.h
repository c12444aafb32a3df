// What the run time's shut-down asks of the threads and the sound output;
// seen only by framework .cpp files.
#pragma once

namespace fw {

// Ends every running thread: each is resumed once more and unwinds from its
// yield.
void ShutDownThreads();
// Stops the sound output's thread; false when the thread was left running.
bool ShutDownSound();

}  // namespace fw
