#include "Caravel/src/UploadFiles.h"

#include <cctype>
#include <cstdio>
#include <sys/stat.h>

namespace caravel {

namespace {

bool ExtensionIs(std::string_view name, std::string_view word)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string ext(name.substr(dot + 1, 3));
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == word;
}

}  // namespace

std::string GetFileNamePart(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsRawFile(std::string_view name) { return ExtensionIs(name, "RWQ"); }

bool IsJpegFile(std::string_view name) { return ExtensionIs(name, "JPG") || ExtensionIs(name, "JPE"); }

bool IsTiffFile(std::string_view name) { return ExtensionIs(name, "TIF"); }

std::string MakeJpegName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot)) + ".jpg";
}

int64_t GetFileSize64(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

void RemoveFile(const std::string& path)
{
    if (!path.empty())
        std::remove(path.c_str());
}

}  // namespace caravel
