// Skylet: the upload server. Started with "-Embedding" by a client that asks for
// an upload server object; "-RegServer" and "-UnregServer" record or remove the
// class registration and end.
#include "Skylet/ErrorBox.h"
#include "Skylet/ErrorBoxWindow.h"
#include "Skylet/IJqUploadServer.h"
#include "Skylet/JqUploadServer.h"
#include "platform/com/ComClasses.h"
#include "platform/com/LocalServer.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

enum class Switch { None, RegServer, UnregServer };

bool startsWithNoCase(const std::string& text, std::size_t at, const char* word) {
    for (std::size_t i = 0; word[i]; ++i) {
        if (at + i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[at + i])) != std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    }
    return true;
}

// The text after each '-' or '/' of the command line; the first that names a
// switch is the one acted on.
Switch findSwitch(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) line += std::string(argv[i]) + " ";
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '-' && line[i] != '/') continue;
        if (startsWithNoCase(line, i + 1, "UnregServer")) return Switch::UnregServer;
        if (startsWithNoCase(line, i + 1, "RegServer")) return Switch::RegServer;
    }
    return Switch::None;
}

std::filesystem::path ownProgram() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p;
}

void onEndSignal(int) { plat::LocalServer::requestStop(); }

}  // namespace

int main(int argc, char** argv) {
    // A copy started to show one of the server's error boxes.
    if (argc == 3 && std::string(argv[1]) == skylet::kErrorBoxSwitch) return skylet::RunErrorBoxWindow(argc, argv, argv[2]);
    switch (findSwitch(argc, argv)) {
    case Switch::RegServer: return plat::succeeded(plat::registerLocalServer(skylet::kJqUploadServerClassId, ownProgram())) ? 0 : 1;
    case Switch::UnregServer: return plat::succeeded(plat::unregisterLocalServer(skylet::kJqUploadServerClassId)) ? 0 : 1;
    case Switch::None: break;
    }
    struct sigaction sa {};
    sa.sa_handler = onEndSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    skylet::SetErrorBoxProgram(ownProgram());

    plat::LocalServer server(
        skylet::kJqUploadServerClassId,
        [](std::shared_ptr<plat::ComObject>* out) {
            *out = std::make_shared<skylet::CJqUploadServer>();
            return plat::hr::Ok;
        },
        5000);
    return server.run();
}
