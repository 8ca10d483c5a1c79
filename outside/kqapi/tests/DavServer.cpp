#include "outside/kqapi/tests/DavServer.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace kqtest {
namespace {

std::filesystem::path serverDir()
{
    return std::filesystem::path(VOREL_SOURCE_DIR) / "outside/kqapi/tests/server";
}

// node (or Debian's older name nodejs) from PATH.
std::string nodeProgram()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (const char* name : {"node", "nodejs"}) {
        size_t start = 0;
        while (start <= dirs.size()) {
            const size_t end = std::min(dirs.find(':', start), dirs.size());
            const std::string candidate = dirs.substr(start, end - start) + "/" + name;
            if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
            start = end + 1;
        }
    }
    return {};
}

// Reads "PORT <n>" from the server's output, waiting at most 30 s.
int readPort(int fd)
{
    std::string text;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return 0;
        text.append(buf, static_cast<size_t>(n));
        const auto at = text.find("PORT ");
        if (at != std::string::npos && text.find('\n', at) != std::string::npos)
            return std::atoi(text.c_str() + at + 5);
    }
    return 0;
}

}  // namespace

std::string DavServer::unavailableReason()
{
    if (nodeProgram().empty()) return "node is not installed";
    if (!std::filesystem::exists(serverDir() / "node_modules/webdav-server/package.json"))
        return "the npm package webdav-server is not installed: run " +
               (serverDir() / "setup").string();
    return {};
}

DavServer::DavServer(const std::string& user, const std::string& password, long quotaBytes)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string node = nodeProgram();
    const std::string script = (serverDir() / "server.js").string();
    const std::string quota = std::to_string(quotaBytes);
    char* argv[] = {const_cast<char*>(node.c_str()), const_cast<char*>(script.c_str()),
                    const_cast<char*>(user.c_str()), const_cast<char*>(password.c_str()),
                    const_cast<char*>(quota.c_str()), nullptr};
    const int rc = posix_spawn(&pid_, node.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    if (rc != 0) {
        pid_ = -1;
        close(out[0]);
        return;
    }
    port_ = readPort(out[0]);
    close(out[0]);
}

DavServer::~DavServer()
{
    if (toChild_ >= 0) close(toChild_);  // the server ends when its input closes
    if (pid_ <= 0) return;
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::string DavServer::rootUrl() const { return url("/photos/"); }

std::string DavServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

long httpStatus(const std::string& method, const std::string& url, const std::string& user,
                const std::string& password)
{
    CURL* c = curl_easy_init();
    if (!c) return 0;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, method == "HEAD" ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 10000L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION,
                     +[](char*, size_t s, size_t n, void*) -> size_t { return s * n; });
    long status = 0;
    if (curl_easy_perform(c) == CURLE_OK) curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(c);
    return status;
}

}  // namespace kqtest
