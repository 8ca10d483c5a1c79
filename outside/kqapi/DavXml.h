#pragma once
// Reader of WebDAV multistatus answers (PROPFIND): one entry per response element,
// with the few properties the album library asks for. Built on expat with namespace
// processing, so any prefix the server picks for DAV: is understood.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

inline constexpr const char* kAlbumNamespace = "http://vorel.invalid/ns/album";

struct DavEntry {
    std::string href;                 // as sent (absolute URL or path), entities decoded
    bool collection = false;
    std::string displayName;
    std::string description;          // the album's dead property, when the server keeps it
    std::string etag;
    std::optional<int64_t> quotaAvailable;
};

// Parses a multistatus body. Only properties under a 2xx propstat status count.
// False on malformed XML, a body larger than the limit, or too deep nesting.
bool parseMultistatus(std::string_view body, std::vector<DavEntry>* entries);

}  // namespace kq
