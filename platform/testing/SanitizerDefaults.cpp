// Sanitizer settings built into every test program, so that they hold however a
// test is started (ctest, by hand, under a debugger). Leak reports skip the
// one-time caches that system libraries keep for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}

extern "C" const char* __asan_default_options() { return "detect_leaks=1:abort_on_error=0"; }

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
