#pragma once
// What the upload program's logic asks of its window. The window implements it on the UI thread;
// calls from the worker thread reach it through a queued (blocking where an answer is awaited)
// hop, so that no widget is touched from another thread.
#include <string>

namespace caravel {

class UploaderView {
public:
    virtual ~UploaderView() = default;
    // An OK message box.
    virtual void ShowMessage(const std::string& text) = 0;
    // The status line under the progress bar.
    virtual void SetStatusText(const std::string& text) = 0;
    // The name of the file being worked on.
    virtual void SetFileNameText(const std::string& text) = 0;
    // Appends a row to the files list.
    virtual void AddFileRow(const std::string& name) = 0;
    // Removes row `index` of the files list.
    virtual void RemoveFileRow(int index) = 0;
};

}  // namespace caravel
