#pragma once
// The capture gate: another capture program, or the viewer's own setting, says
// that the monitor must leave the camera alone. Two machine values, each a level
// whose non-zero number closes the gate.
#include "monitor/MonStrings.h"

#include <string>

class JqCapture {
public:
    // Loads the two key and value names from the program's strings.
    void LoadStrings(const MonStringTable& strings);
    // True when either level is not 0. A missing key or value reads as 0.
    bool IsAlreadyCapture() const;

    // The level of one value: a text's leading decimal number (it must fit 31
    // bytes with its zero), or a 4-byte number; 0 when missing or unreadable.
    static int ReadLevel(const std::string& key, const std::string& value);

private:
    std::string otherKey_, otherValue_;
    std::string viewerKey_, viewerValue_;
};
