#include "platform/shell/ChooserScript.h"

#include <deque>

namespace plat {

namespace {

struct ScriptState {
    std::deque<std::optional<std::string>> answers;
    std::vector<ChooserRequest> requests;
};

ScriptState& state() {
    static ScriptState s;
    return s;
}

}  // namespace

std::mutex& ChooserScript::lock() {
    static std::mutex m;
    return m;
}

void ChooserScript::push(std::optional<std::string> answer) {
    std::lock_guard<std::mutex> g(lock());
    state().answers.push_back(std::move(answer));
}

void ChooserScript::clear() {
    std::lock_guard<std::mutex> g(lock());
    state().answers.clear();
    state().requests.clear();
}

std::vector<ChooserRequest> ChooserScript::requests() {
    std::lock_guard<std::mutex> g(lock());
    return state().requests;
}

bool ChooserScript::take(const ChooserRequest& request, std::optional<std::string>* answer) {
    std::lock_guard<std::mutex> g(lock());
    if (state().answers.empty()) return false;
    *answer = std::move(state().answers.front());
    state().answers.pop_front();
    state().requests.push_back(request);
    return true;
}

}  // namespace plat
