#pragma once
// What the upload dialog's logic asks of its window beyond the shared view: button arrangement,
// texts, progress, the two modal dialogs, and running work on the UI thread.
#include "Caravel/src/UploaderView.h"

#include <cstdint>
#include <functional>
#include <string>

namespace caravel {

class CAlbumSession;

struct LoginData {
    std::string userName;
    std::string password;
    bool passwordFlag = false;
    bool autoUploadFlag = false;
};

class UploaderDialogView : public UploaderView {
public:
    // Running: cancel enabled; upload, album, login name and Remove disabled. Idle: the reverse.
    virtual void SetRunning(bool running) = 0;
    virtual void SetLoginNameText(const std::string& text) = 0;
    virtual void SetAlbumText(const std::string& text) = 0;
    // Lower part shown or hidden, with the details button's text.
    virtual void SetDetails(bool expanded, const std::string& buttonText) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetWaitCursor(bool wait) = 0;
    virtual void FocusUpload() = 0;
    // The user information dialog; true on OK (data then holds the user's values).
    virtual bool AskLoginData(LoginData* data, bool keyReady) = 0;
    // The album selection dialog; true on OK.
    virtual bool AskAlbum(CAlbumSession* session, int32_t* selectedAlbum, bool* useStorageRoom) = 0;
    // Runs work later on the UI thread.
    virtual void PostToUi(std::function<void()> work) = 0;
    // Closes the window and ends the program's event loop.
    virtual void Quit() = 0;
};

}  // namespace caravel
