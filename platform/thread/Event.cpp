#include "platform/thread/Event.h"

#include "platform/thread/WaitLock.h"

#include <map>

namespace plat {

class Event::State : public detail::WaitState {
public:
    State(Reset reset, bool signalled) : reset_(reset), signalled_(signalled) {}
    bool signalled() const override { return signalled_; }
    void consume() override {
        if (reset_ == Reset::Auto) signalled_ = false;
    }
    void set(bool on) { signalled_ = on; }

private:
    Reset reset_;
    bool signalled_;
};

namespace {

// Named objects of the process; read and changed under the wait lock. Entries of
// dead objects are pruned when the name is created again.
std::map<std::string, std::weak_ptr<Event::State>, std::less<>>& namedEvents() {
    static std::map<std::string, std::weak_ptr<Event::State>, std::less<>> names;
    return names;
}

}  // namespace

Event Event::create(Reset reset, bool initiallySignalled, std::string_view name, bool* existed) {
    if (existed) *existed = false;
    if (name.empty()) return Event(std::make_shared<State>(reset, initiallySignalled));
    std::lock_guard lock(detail::waitMutex());
    auto& names = namedEvents();
    auto it = names.find(name);
    if (it != names.end()) {
        if (auto live = it->second.lock()) {
            if (existed) *existed = true;
            return Event(std::move(live));
        }
    }
    auto state = std::make_shared<State>(reset, initiallySignalled);
    names[std::string(name)] = state;
    return Event(std::move(state));
}

bool Event::set() const {
    if (!state_) return false;
    std::lock_guard lock(detail::waitMutex());
    state_->set(true);
    detail::notifyWaiters();
    return true;
}

bool Event::reset() const {
    if (!state_) return false;
    std::lock_guard lock(detail::waitMutex());
    state_->set(false);
    return true;
}

std::shared_ptr<detail::WaitState> Event::waitState() const { return state_; }

bool isSignalled(const Event* event) { return event && waitFor(*event, 0) == kWaitSignalled; }

}  // namespace plat
