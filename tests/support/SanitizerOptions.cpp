// Options of the sanitizer run time for the test programs, built into each
// of them, so that they hold however a test is started.
#ifndef PANDRISK_SOURCE_DIR
#define PANDRISK_SOURCE_DIR "."
#endif

extern "C" {
const char* __asan_default_options() { return "detect_leaks=1:abort_on_error=0:detect_odr_violation=0"; }
const char* __lsan_default_options() {
  return "suppressions=" PANDRISK_SOURCE_DIR "/tests/support/lsan.supp:print_suppressions=0";
}
const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
}
