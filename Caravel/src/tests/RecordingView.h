#pragma once
// A window stand-in that records what the logic shows.
#include "Caravel/src/UploaderView.h"

#include <string>
#include <vector>

namespace caravel_test {

class RecordingView : public caravel::UploaderView {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void SetStatusText(const std::string& text) override
    {
        status = text;
        statusLog.push_back(text);
    }
    void SetFileNameText(const std::string& text) override { fileName = text; statusLog.push_back("file:" + text); }
    void AddFileRow(const std::string& name) override { rows.push_back(name); }
    void RemoveFileRow(int index) override
    {
        if (index >= 0 && index < static_cast<int>(rows.size()))
            rows.erase(rows.begin() + index);
    }

    std::vector<std::string> messages;
    std::vector<std::string> rows;
    std::string status;
    std::string fileName;
    std::vector<std::string> statusLog;
};

}  // namespace caravel_test
