#pragma once
// The choosers' seam for tests: an answer set here is what the next chooser
// returns, without showing a window. Every chooser that took a scripted answer
// leaves its request behind for the test to check.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace plat {

struct ChooserRequest {
    enum class Kind { Folder, OpenFile, NewOrOpenFile };
    Kind kind = Kind::Folder;
    std::string title;
    std::string initialPath;
    std::string filter;  // the Qt filter given to a file chooser
};

class ChooserScript {
public:
    // Queues an answer: a path, or std::nullopt for "cancelled".
    static void push(std::optional<std::string> answer);
    // Drops queued answers and recorded requests.
    static void clear();
    static std::vector<ChooserRequest> requests();

    // For the choosers: takes the next queued answer, recording the request.
    // False when nothing is queued (the chooser shows its dialog).
    static bool take(const ChooserRequest& request, std::optional<std::string>* answer);

private:
    static std::mutex& lock();
};

}  // namespace plat
