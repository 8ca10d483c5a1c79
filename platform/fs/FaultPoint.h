#pragma once
// An injectable failure point for tests: the file copy and the INI writer ask it
// before each step that can fail on a real system (open, read, write, sync,
// rename), and a test makes any of those steps fail with the errno it chooses,
// then checks that nothing was lost or half-written. Unused outside tests.
#include <functional>
#include <string>

namespace plat {

enum class FsStep {
    OpenSource,    // opening the file to read
    ReadSource,    // each read of the source (a card pulled out, a bad sector)
    CreateTemp,    // making the temporary file beside the target
    WriteTarget,   // each write (a full disk, a write error)
    SyncTarget,    // fsync before the rename
    RenameTarget,  // the rename onto the final name
    SyncFolder,    // fsync of the folder after the rename (its failure is not reported)
};

// Returns the errno to fail the step with, or 0 to let it run.
using FsFaultHook = std::function<int(FsStep)>;

// Installs a hook for the whole process (an empty one removes it).
void setFsFaultHook(FsFaultHook hook);

// Asked by the operations: the errno the hook chooses, 0 without a hook.
int injectedFsFault(FsStep step);

// The file the steps on this thread are taken for (the source while a copy is
// read and written, its final name while it is synced), so that a hook can fail
// one file only, as a worn card does; empty elsewhere.
const std::string& faultSubject();

// Names the subject for the life of the object, on the calling thread.
class ScopedFaultSubject {
public:
    explicit ScopedFaultSubject(std::string subject);
    ~ScopedFaultSubject();
    ScopedFaultSubject(const ScopedFaultSubject&) = delete;
    ScopedFaultSubject& operator=(const ScopedFaultSubject&) = delete;

private:
    std::string previous_;
};

// Installs a hook for the life of the object.
class ScopedFsFault {
public:
    explicit ScopedFsFault(FsFaultHook hook) { setFsFaultHook(std::move(hook)); }
    ~ScopedFsFault() { setFsFaultHook({}); }
    ScopedFsFault(const ScopedFsFault&) = delete;
    ScopedFsFault& operator=(const ScopedFsFault&) = delete;
};

}  // namespace plat
