#pragma once
// Events: manual-reset (stays signalled until reset) or auto-reset (a satisfied
// wait clears it, releasing one waiter). A handle is a value: copies share the
// object, and the object lives while any handle to it does. A named event is one
// object per name in the process: creating the same name again while a handle is
// open gives a handle to the existing object, and its reset kind and initial state
// are ignored.
#include "platform/thread/Waitable.h"

#include <memory>
#include <string>
#include <string_view>

namespace plat {

class Event : public Waitable {
public:
    enum class Reset { Manual, Auto };

    Event() = default;   // an invalid handle; set/reset/wait fail on it

    // *existed (when given) tells whether a named object was already there.
    static Event create(Reset reset, bool initiallySignalled, std::string_view name = {},
                        bool* existed = nullptr);

    bool valid() const { return state_ != nullptr; }
    bool set() const;
    bool reset() const;
    void close() { state_.reset(); }   // drops this handle only
    bool sameObject(const Event& other) const { return state_ && state_ == other.state_; }

    std::shared_ptr<detail::WaitState> waitState() const override;

    class State;   // internal

private:
    explicit Event(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

// Whether `event` is signalled, asked without waiting; no event, or an invalid
// handle, is not. A signalled auto-reset event is consumed, as by any wait.
bool isSignalled(const Event* event);

}  // namespace plat
