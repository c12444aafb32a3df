#include "framework/Time.h"

#include <chrono>
#include <random>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point& ProcessStart() {
  static const Clock::time_point start = Clock::now();
  return start;
}

// Taken at load time, so that the count starts with the process.
[[maybe_unused]] const Clock::time_point& kStartTouch = ProcessStart();

std::function<double()>& ClockSource() {
  static std::function<double()> source;
  return source;
}

std::function<double()>& RandomSource() {
  static std::function<double()> source;
  return source;
}

std::mt19937_64& Generator() {
  static std::mt19937_64 gen{std::random_device{}()};
  return gen;
}

}  // namespace

double Microseconds() {
  if (ClockSource()) return ClockSource()();
  return std::chrono::duration<double, std::micro>(Clock::now() - ProcessStart()).count();
}

double Rnd() {
  if (RandomSource()) return RandomSource()();
  // 53 random bits give every double of [0, 1) with a step of 2^-53.
  return static_cast<double>(Generator()() >> 11) * 0x1.0p-53;
}

void SetMicrosecondsSource(std::function<double()> source) { ClockSource() = std::move(source); }
void SetRandomSource(std::function<double()> source) { RandomSource() = std::move(source); }

}  // namespace fw
