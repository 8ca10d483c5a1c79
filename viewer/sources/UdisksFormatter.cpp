#include "viewer/sources/UdisksFormatter.h"

#include "platform/msg/MessageBox.h"
#include "viewer/sources/MassStrage.h"

#include <cctype>
#include <cstdio>
#include <iterator>

namespace {

std::string SizeText(uint64_t bytes) {
    static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

bool AskInBox(const plat::FormatTarget& target) {
    plat::MessageBoxRequest box;
    box.caption = "Format";
    box.text = FormatQuestion(target);
    box.buttons = plat::MessageButtons::OkCancel;
    box.icon = plat::MessageIcon::Exclamation;
    box.defaultButton = 2;   // Cancel: nothing is erased by a stray Enter
    box.topmost = true;
    return plat::showMessageBox(box) == plat::kAnswerOk;
}

void TellInBox(const std::string& text) {
    plat::MessageBoxRequest box;
    box.caption = "Format";
    box.text = text;
    box.icon = plat::MessageIcon::Exclamation;
    box.topmost = true;
    plat::showMessageBox(box);
}

}  // namespace

std::string FormatQuestion(const plat::FormatTarget& target) {
    const std::string label = target.currentLabel.empty() ? "(no label)" : "\"" + target.currentLabel + "\"";
    std::string text = "Format the medium in drive ";
    text += target.letter;
    text += ":?\n\nLabel: " + label + "\nSize: " + SizeText(target.sizeBytes) +
            "\n\nEverything on it will be erased.";
    return text;
}

std::string FormatRefusal(char letter, const std::string& why) {
    std::string text = "Drive ";
    text += letter;
    text += ": was not formatted: " + why + ".";
    return text;
}

int32_t FormatRemovableMedium(char letter, std::string* why, plat::FormatOptions options) {
    std::string error;
    const plat::FormatResult r = plat::formatRemovableMedium(letter, "", options, &error);
    if (r == plat::FormatResult::Ok)
        return 0;
    if (why)
        *why = error.empty() ? plat::formatResultName(r) : error;
    return -1;
}

void InstallUdisksFormatter() {
    CMassStrage::SetDriveFormatter([](char letter) {
        plat::FormatOptions options;
        bool asked = false, declined = false;
        options.confirm = [&](const plat::FormatTarget& target) {
            asked = true;
            declined = !AskInBox(target);
            return !declined;
        };
        std::string why;
        const int32_t r = FormatRemovableMedium(letter, &why, std::move(options));
        // A declined question needs no answer; a refusal or failure is told.
        if (r != 0 && !(asked && declined))
            TellInBox(FormatRefusal(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))), why));
        return r;
    });
}
