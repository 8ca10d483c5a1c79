#pragma once
// A worker thread in the two forms the programs use: a body function, or a class
// that overrides run(). The thread is made suspended (or running) by create(),
// started by resume(), and ends with an exit code that the owner reads. The handle
// is waitable: it is signalled once the thread has ended.
//
// Destroying the object waits for the thread to end; a thread that was never
// resumed ends without running its body. A class that overrides run() must call
// waitUntilEnded() in its own destructor (its members die before this base waits).
#include "platform/thread/Waitable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace plat {

inline constexpr uint32_t kStillActive = 259;        // exit code of a thread that has not ended
inline constexpr uint32_t kThreadAborted = 0xFFFFFFFEu;   // the body ended by an exception

class WorkerThread : public Waitable {
public:
    using Body = std::function<uint32_t()>;
    enum class Start { Suspended, Running };

    WorkerThread();                       // the body is run()
    explicit WorkerThread(Body body);
    ~WorkerThread() override;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Makes the system thread. False when it exists already or cannot be made.
    bool create(Start start = Start::Suspended);
    // Lets a suspended thread run. False when there is no thread or it runs already.
    bool resume();

    bool hasEnded() const;
    // The exit code, or kStillActive while the thread runs. False when never created.
    bool exitCode(uint32_t* code) const;
    uint32_t waitUntilEnded(uint32_t timeoutMs = kInfinite) const { return waitFor(*this, timeoutMs); }

    // A quit request for a worker that has no message loop: the body polls it.
    // Harmless on a thread that has ended.
    void requestQuit();
    bool quitRequested() const;

    std::shared_ptr<detail::WaitState> waitState() const override;

    class State;   // internal

protected:
    virtual uint32_t run();

private:
    void finish();
    Body body_;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// A fire-and-forget thread that cleans up after itself. False when it cannot start.
bool startDetachedThread(std::function<void()> body);

}  // namespace plat
