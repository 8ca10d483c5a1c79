// A shared object that is not a camera module: it has no entry point.
extern "C" int NotTheEntryPoint() { return 0; }
