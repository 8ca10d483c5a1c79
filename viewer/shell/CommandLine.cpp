#include "viewer/shell/CommandLine.h"

#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/common/WinVersion.h"

#include <strings.h>

#include <cctype>

namespace {

constexpr const char* kFromWakely = "-FromWakely";      // 62014
constexpr const char* kFromAutoPlay = "-FromAutoPlay";  // 62075
constexpr const char* kDornModsFolder = "/Vorel/DornMods";  // 62001

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    const std::size_t n = std::char_traits<char>::length(prefix);
    return text.size() >= n && ::strncasecmp(text.c_str(), prefix, n) == 0;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// "E:" from a letter and its colon; false unless the letter is A-Z (any case).
bool DriveTarget(char letter, CommandLineTarget* t)
{
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (up < 'A' || up > 'Z')
        return false;
    t->index = up - 'A';
    t->record.Clear();
    t->record.SetName(std::string{up, ':'});
    return true;
}

CommandLineTarget Fail()
{
    return CommandLineTarget{};
}

// Mode 2: the drive is the character before the first colon after the prefix.
CommandLineTarget AutoPlayTarget(const std::string& raw)
{
    const std::size_t prefix = std::char_traits<char>::length(kFromAutoPlay);
    const std::size_t colon = raw.find(':', prefix);
    if (colon == std::string::npos || colon == prefix)
        return Fail();
    CommandLineTarget t;
    if (!DriveTarget(raw[colon - 1], &t))
        return Fail();
    t.mode = 2;
    return t;
}

// Mode 3: after "-FromWakely", everything through the first '-' is dropped; two
// characters left are a drive, else "module -capability".
CommandLineTarget WakelyTarget(const std::string& raw, const std::string& commonFilesDir)
{
    const std::string after = raw.substr(std::char_traits<char>::length(kFromWakely));
    const std::size_t dash = after.find('-');
    if (dash == std::string::npos)
        return Fail();
    const std::string rest = after.substr(dash + 1);
    CommandLineTarget t;
    if (rest.size() == 2) {
        if (rest[1] != ':' || !DriveTarget(rest[0], &t))
            return Fail();
        t.mode = 3;
        return t;
    }
    const std::size_t next = rest.find('-');
    if (next == std::string::npos)
        return Fail();
    const std::string modulePart = rest.substr(0, next);
    const std::size_t blank = modulePart.find(' ');
    if (blank == std::string::npos || blank == 0)
        return Fail();
    const std::string module = modulePart.substr(0, blank);
    const std::string capability = rest.substr(next + 1);
    if (capability.empty())
        return Fail();
    t.index = kFirstCameraIndex;
    if (!t.record.SetName(commonFilesDir + kDornModsFolder + "/" + module) || !t.record.SetCapability(capability))
        return Fail();
    t.mode = 3;
    return t;
}

}  // namespace

CommandLineTarget ClassifyCommandLine(const std::string& rawText, int osVersionCode, const std::string& commonFilesDir)
{
    const std::string raw = Trim(rawText);
    CommandLineTarget t;
    if (raw.empty()) {
        t.mode = 0;
        return t;
    }
    if (::strcasecmp(raw.c_str(), kFromWakely) == 0) {
        t.mode = 1;
        return t;
    }
    if (StartsWithNoCase(raw, kFromAutoPlay) && osVersionCode == kAutoPlayVersionCode)
        return AutoPlayTarget(raw);
    if (StartsWithNoCase(raw, kFromWakely))
        return WakelyTarget(raw, commonFilesDir);
    return Fail();
}

std::string RawCommandLine(const std::vector<std::string>& args)
{
    std::string raw;
    for (const std::string& a : args) {
        if (!raw.empty())
            raw += ' ';
        raw += a;
    }
    return Trim(raw);
}

ShellCommand ParseShellCommand(const std::vector<std::string>& args)
{
    ShellCommand c;
    for (const std::string& a : args) {
        if (!a.empty() && (a[0] == '-' || a[0] == '/') && a.size() > 1) {
            const std::string flag = a.substr(1);
            if (::strcasecmp(flag.c_str(), "Embedding") == 0)
                c.embedding = true;
            else if (::strcasecmp(flag.c_str(), "Automation") == 0)
                c.automation = true;
        } else if (c.fileToOpen.empty() && !a.empty()) {
            c.fileToOpen = a;
        }
    }
    return c;
}
