#pragma once
// CPrintOrderFile: reads the card's print-order file (DPOF "01.00") and yields the
// card paths of the pictures the camera marked for transfer, which it writes in a
// vendor region of that file. Print orders are checked for syntax and otherwise
// ignored.
#include <cstdint>
#include <string>
#include <vector>

class CPrintOrderFile {
public:
    enum : int32_t {
        kOk = 0,
        kCountMismatch = -125,  // no marked pictures, or a count that does not match the paths
        kSyntaxError = -126,
        kCannotOpen = -127,
        kMissing = -128,        // no drive, no file, a folder, or an empty file
    };

    CPrintOrderFile() = default;
    virtual ~CPrintOrderFile() = default;

    // Reads "<letter>:/MISC/AUTPRINT.MRK"; only the first character of drive is used.
    int32_t Load(const std::string& drive);
    // Parses the text of such a file for the drive letter (Load's second half).
    int32_t Parse(const std::string& text, char letter);

    int32_t GetCount() const { return count_; }
    // "E:/DCIM/100ABCDE/ABCD0001.JPG"; empty at or beyond the count.
    std::string GetAt(int32_t index) const;

private:
    std::vector<std::string> paths_;
    int32_t count_ = 0;
    std::string filePath_;
    std::string prefix_;  // "E:/"
};
