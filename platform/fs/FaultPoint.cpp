#include "platform/fs/FaultPoint.h"

#include <memory>
#include <mutex>
#include <utility>

namespace plat {
namespace {

std::mutex& hookMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<FsFaultHook>& hookSlot() {
    static std::shared_ptr<FsFaultHook> slot;
    return slot;
}

thread_local std::string subject;

}  // namespace

const std::string& faultSubject() { return subject; }

ScopedFaultSubject::ScopedFaultSubject(std::string s) : previous_(std::exchange(subject, std::move(s))) {}

ScopedFaultSubject::~ScopedFaultSubject() { subject = std::move(previous_); }

void setFsFaultHook(FsFaultHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex());
    hookSlot() = hook ? std::make_shared<FsFaultHook>(std::move(hook)) : nullptr;
}

int injectedFsFault(FsStep step) {
    std::shared_ptr<FsFaultHook> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex());
        hook = hookSlot();
    }
    return hook ? (*hook)(step) : 0;
}

}  // namespace plat
