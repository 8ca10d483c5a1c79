// Leak reports skip fontconfig's one-time caches (widget tests load fonts). Built
// into the test programs so that it holds however the tests are started.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
