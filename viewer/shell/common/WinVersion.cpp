#include "viewer/shell/common/WinVersion.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int32_t kPlatform9x = 1;
constexpr int32_t kPlatformNt = 2;

int CodeOf9x(const OsVersionRecord& r)
{
    const uint32_t build = r.build & 0xFFFF;
    if (r.major != 4)
        return kUnknownWindowsVersion;
    switch (r.minor) {
    case 0:
        return build == 1111 ? 1 : build == 1212 ? 2 : 0;
    case 10:
        return build == 2222 ? 4 : 3;
    case 90:
        return 5;
    default:
        return kUnknownWindowsVersion;
    }
}

int CodeOfNt(const OsVersionRecord& r)
{
    if (r.major == 3)
        return 6;
    if (r.major == 4)
        return 7;
    if (r.major == 5 && r.minor == 0)
        return 8;
    if (r.major == 5 && r.minor == 1)
        return 9;
    return kUnknownWindowsVersion;
}

}  // namespace

std::optional<OsVersionRecord> QueryOsVersion(bool /*extended*/)
{
    const char* text = std::getenv("VOREL_OS_VERSION");
    if (!text || !*text)
        return OsVersionRecord{kPlatformNt, 5, 0, 2195};
    int platform = 0;
    unsigned major = 0, minor = 0, build = 0;
    char tail = 0;
    if (std::sscanf(text, "%d.%u.%u.%u%c", &platform, &major, &minor, &build, &tail) != 4)
        return std::nullopt;
    return OsVersionRecord{platform, major, minor, build};
}

CWinVersion::CWinVersion() : query_(QueryOsVersion) {}

CWinVersion::CWinVersion(OsVersionQuery query) : query_(std::move(query)) {}

int CWinVersion::GetWindowsVersionCode() const
{
    // The extended record first, then the plain one.
    std::optional<OsVersionRecord> record = query_(true);
    if (!record)
        record = query_(false);
    if (!record)
        return kUnknownWindowsVersion;
    return CodeOf(*record);
}

bool CWinVersion::IsSupportedWindows() const
{
    return IsSupportedCode(GetWindowsVersionCode());
}

int CWinVersion::CodeOf(const OsVersionRecord& record)
{
    if (record.platformId == kPlatform9x)
        return CodeOf9x(record);
    if (record.platformId == kPlatformNt)
        return CodeOfNt(record);
    return kUnknownWindowsVersion;
}

bool CWinVersion::IsSupportedCode(int code)
{
    return code == 3 || code == 4 || code == 5 || code == 8 || code == 9;
}
