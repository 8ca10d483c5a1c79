// The entry point itself lives in the core library (Entry.cpp); this file makes the shared object.
