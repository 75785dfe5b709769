// The settings of the sanitized build, linked into each of its executables: a test, the
// program under a test, or the program started by hand all stop at the first report,
// leaks included, with a failure status and the report on standard error.
// A setting given in the environment (ASAN_OPTIONS and so on) still takes precedence.

extern "C" {

const char* __asan_default_options() {
    return "halt_on_error=1:exitcode=1:detect_leaks=1:detect_stack_use_after_return=1:"
           "check_initialization_order=1:strict_init_order=1";
}

// Only leaks inside the system libraries we build on are suppressed, each for its reason.
const char* __lsan_default_options() { return "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0"; }

const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
}
