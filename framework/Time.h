// The microsecond clock and the random source, each replaceable by a test.
#pragma once

#include <functional>

namespace fw {

// Microseconds since the process started: a double that normally increases.
double Microseconds();

// A double in [0, 1). The generator is seeded once per run by the framework.
double Rnd();

// Test seams: a replacement clock or random source; an empty function
// restores the real one.
void SetMicrosecondsSource(std::function<double()> source);
void SetRandomSource(std::function<double()> source);

}  // namespace fw
