#include "viewer/sources/UdisksFormatter.h"

#include "platform/shell/MediumFormat.h"
#include "viewer/sources/MassStrage.h"

int32_t FormatRemovableMedium(char letter, std::string* why) {
    std::string error;
    const plat::FormatResult r = plat::formatRemovableMedium(letter, "", plat::FormatOptions{}, &error);
    if (r == plat::FormatResult::Ok)
        return 0;
    if (why)
        *why = error.empty() ? plat::formatResultName(r) : error;
    return -1;
}

void InstallUdisksFormatter() {
    CMassStrage::SetDriveFormatter([](char letter) { return FormatRemovableMedium(letter); });
}
