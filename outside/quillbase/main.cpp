// Quillbase: the catalog application. It serves its automation class through the
// local-server layer; started by a user (no arguments) or by a client
// ("-Embedding"), it stays while clients hold objects and a while after.
#include "outside/quillbase/Automation.h"

#include "platform/com/LocalServer.h"

#include <csignal>
#include <cstdlib>

namespace {
void onTerm(int) { plat::LocalServer::requestStop(); }
}  // namespace

int main() {
    std::signal(SIGTERM, onTerm);
    std::signal(SIGINT, onTerm);
    const char* idle = std::getenv("QUILLBASE_IDLE_MS");
    plat::LocalServer server(
        quillbase::kClassId,
        [](std::shared_ptr<plat::ComObject>* out) {
            *out = quillbase::makeApplication();
            return plat::hr::Ok;
        },
        idle ? std::atoi(idle) : 30000);
    return server.run();
}
