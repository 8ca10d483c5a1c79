#pragma once
// The viewer's command line, classified before anything else looks at it:
//   0  empty                                  start without the monitor
//   1  "-FromWakely"                          started by the device monitor
//   2  "-FromAutoPlay X:\" (version code 9)   a drive from the system's AutoPlay
//   3  "-FromWakely -X:" or "-FromWakely -<module> -<capability>"
//  -1  anything else
// Modes 2 and 3 name a device: its index and MessageID record come with them.
#include "viewer/shell/common/MessageIdRecord.h"

#include <string>
#include <vector>

struct CommandLineTarget {
    int mode = -1;
    int index = 0;             // device index (modes 2 and 3)
    MessageIdRecord record;    // what goes to MessageID\<index> (modes 2 and 3)
};

// Classifies the raw argument text. Input is checked: a drive must be a letter
// A-Z followed by ':', every text must fit its record field, and forms without
// the parts they need are -1.
CommandLineTarget ClassifyCommandLine(const std::string& raw, int osVersionCode, const std::string& commonFilesDir);

// The raw argument text of argv: arguments joined by one blank, trimmed.
std::string RawCommandLine(const std::vector<std::string>& args);

// The standard parse: flags ("-x" or "/x") and the first other argument, the
// document to open.
struct ShellCommand {
    bool embedding = false;
    bool automation = false;
    std::string fileToOpen;
};
ShellCommand ParseShellCommand(const std::vector<std::string>& args);
