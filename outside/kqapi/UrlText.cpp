#include "outside/kqapi/UrlText.h"

#include <openssl/evp.h>

#include <cstdio>

namespace kq {

std::string percentEncodeSegment(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string originOf(std::string_view url)
{
    size_t start;
    if (url.substr(0, 7) == "http://") {
        start = 7;
    } else if (url.substr(0, 8) == "https://") {
        start = 8;
    } else {
        return {};
    }
    const size_t slash = url.find('/', start);
    if (slash == start) return {};
    return std::string(url.substr(0, slash == std::string_view::npos ? url.size() : slash));
}

std::string hrefPath(std::string_view href)
{
    std::string_view path = href;
    const std::string origin = originOf(href);
    if (!origin.empty()) path = href.substr(origin.size());
    if (path.empty()) return "/";
    return percentDecode(path);
}

std::string lastSegment(std::string_view path)
{
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string withTrailingSlash(std::string_view path)
{
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    return std::string(path) + "/";
}

std::string albumKeyFor(std::string_view collectionPath)
{
    const std::string path = withTrailingSlash(collectionPath);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(path.data(), path.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return {};
    char text[17] = {};
    for (int i = 0; i < 8; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return std::string(text, 15);
}

std::string numberedName(std::string_view name, int n)
{
    const size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (dot == std::string_view::npos || dot == 0) return std::string(name) + suffix;
    return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

}  // namespace kq
