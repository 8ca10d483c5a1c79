#include "platform/shell/WebAddress.h"

#include "platform/proc/Process.h"

#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <unistd.h>

namespace plat {

namespace {

bool hasBlankOrControl(const std::string& s) {
    for (unsigned char c : s) {
        if (c <= 0x20 || c == 0x7f) return true;
    }
    return false;
}

// The first executable "xdg-open" in $PATH; empty when there is none.
std::string findOpener() {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        const size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        if (dir.empty() || dir.front() != '/') continue;  // never the current folder
        const std::string candidate = std::string(dir) + "/xdg-open";
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

}  // namespace

const char* openResultName(OpenResult result) {
    switch (result) {
    case OpenResult::Ok: return "opened";
    case OpenResult::Refused: return "not an http, https or mailto address";
    case OpenResult::NoOpener: return "no xdg-open on this system";
    case OpenResult::StartFailed: return "xdg-open could not be started";
    }
    return "failed";
}

bool isOpenableAddress(const std::string& address, std::string* normalized) {
    if (address.empty() || hasBlankOrControl(address)) return false;
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        if (url.host().isEmpty()) return false;
    } else if (scheme == QLatin1String("mailto")) {
        if (url.path().isEmpty()) return false;
    } else {
        return false;
    }
    const std::string encoded = url.toString(QUrl::FullyEncoded).toStdString();
    if (encoded.empty() || encoded.front() == '-') return false;
    if (normalized) *normalized = encoded;
    return true;
}

OpenResult openWebAddress(const std::string& address) {
    std::string normalized;
    if (!isOpenableAddress(address, &normalized)) return OpenResult::Refused;
    const std::string opener = findOpener();
    if (opener.empty()) return OpenResult::NoOpener;
    return startDetached(opener, {normalized}) == ProcResult::Ok ? OpenResult::Ok : OpenResult::StartFailed;
}

}  // namespace plat
