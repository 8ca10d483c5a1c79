#pragma once
// Address helpers of the album library: percent coding of path segments, the path
// part of an href, and the album key derived from an album's path.
#include <string>
#include <string_view>

namespace kq {

std::string percentEncodeSegment(std::string_view text);
std::string percentDecode(std::string_view text);

// "http://host:port/a/b/" -> "http://host:port"; empty when the address is not http(s).
std::string originOf(std::string_view url);

// An href as servers send it (absolute URL or absolute path) -> decoded path.
std::string hrefPath(std::string_view href);

// The last non-empty segment of a decoded path ("/photos/Trip/" -> "Trip").
std::string lastSegment(std::string_view path);

// The path with exactly one trailing '/'.
std::string withTrailingSlash(std::string_view path);

// 15 hex digits of SHA-256 of the album's decoded path (with trailing '/').
std::string albumKeyFor(std::string_view collectionPath);

// A file name with " (n)" before its extension: "a.jpg", 2 -> "a (2).jpg".
std::string numberedName(std::string_view name, int n);

}  // namespace kq
