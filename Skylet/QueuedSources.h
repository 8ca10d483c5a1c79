#pragma once
// Which pictures upload queues still name. Queue files live in the user's temp
// folder under names beginning "vorel": those the upload server handed over and
// the upload program has not read yet, and the one the upload program keeps for
// the pictures it has not uploaded yet (so a later start goes on with them). A
// picture a queue names must not be pruned away: it may be its only copy.
#include <filesystem>
#include <string>
#include <vector>

namespace skylet {

// The upload program's queue of pictures not yet confirmed by the album service.
inline constexpr const char* kKeptQueueName = "vorel-kept.ini";

// Every source path named by a queue file in `tempPath`, in file order.
std::vector<std::string> QueuedSources(const std::filesystem::path& tempPath);

}  // namespace skylet
