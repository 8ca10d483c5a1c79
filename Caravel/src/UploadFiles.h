#pragma once
// Name and file helpers of the upload queue.
#include <cstdint>
#include <string>
#include <string_view>

namespace caravel {

// The text after the last '/', or the whole path when it has none.
std::string GetFileNamePart(std::string_view path);
// Extension tests: the first three characters after the last '.', without regard to case.
bool IsRawFile(std::string_view name);
bool IsJpegFile(std::string_view name);
bool IsTiffFile(std::string_view name);
// The name cut at its last '.' (whole when it has none) with ".jpg" appended.
std::string MakeJpegName(std::string_view name);
// The file's size, or -1 when its status cannot be read.
int64_t GetFileSize64(const std::string& path);
// Deletes a file; failures are of no interest to the callers.
void RemoveFile(const std::string& path);

}  // namespace caravel
