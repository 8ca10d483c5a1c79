#pragma once
// The upload dialog's logic: the queue, the login data and settings, the album session and the
// one upload run that may be going on. The window (UploaderWindow) only presents it.
#include "Caravel/src/AlbumSession.h"
#include "Caravel/src/PictureConverter.h"
#include "Caravel/src/UploadQueue.h"
#include "Caravel/src/UploaderDialogView.h"
#include "Caravel/src/UploaderSettings.h"

#include <functional>
#include <memory>
#include <thread>

namespace caravel {

enum RunState : int32_t { kRunIdle = 0, kRunRunning = 2, kRunEnded = 4 };

class CUploaderDlg {
public:
    using ConverterFactory = std::function<std::unique_ptr<PictureConverter>()>;

    CUploaderDlg(UploaderDialogView* view, UploaderSettings settings, std::string workFolder);
    ~CUploaderDlg();

    void OnInitDialog();
    // Reads the queue the upload server left (once per start) and forgets its path.
    void ReadUploadQueue();
    void OnDetails();
    void OnUpload();
    bool BeginUploadRun();
    // Checks the login data and the service address (with their messages) and readies the
    // session's login; false when something is missing.
    bool PrepareSession();
    // The album choice: connects on the worker, then (on the UI thread) asks for the album.
    void SelectAlbum();
    void OnLoginName();
    void OnCancelUpload();
    // Exit, close and Escape: ends the program unless a run is going on.
    void OnExit();
    // On the UI thread, when the worker has finished.
    void EndUploadRun();
    void SetProgress(int64_t done, int64_t total);
    void OnImageSizeChanged(int32_t imageSize);
    // The files page's Remove: the selected rows, in increasing order.
    void OnRemove(const std::vector<int>& selectedRows);

    int32_t GetRunState() const { return m_runState; }
    UploaderSettings& Settings() { return m_settings; }
    UploadQueue& Queue() { return m_queue; }
    CAlbumSession* GetAlbumSession() { return m_session.get(); }
    void SetConverterFactory(ConverterFactory f) { m_converterFactory = std::move(f); }
    // Waits for a worker that is still running (tests, and the end of the program).
    void JoinWorker();

private:
    void StartUploadThread();
    // On the UI thread, when the album choice's connection has ended.
    void ChooseAlbum(int32_t connectResult);
    void CleanUpAtExit();
    void ShowAlbumText();

    UploaderDialogView* m_view;
    UploaderSettings m_settings;
    UploadQueue m_queue;
    std::unique_ptr<CAlbumSession> m_session;
    int32_t m_runState = kRunIdle;
    int32_t m_stateBeforeAlbum = kRunIdle;   // what the album choice returns to
    int m_detailsCounter = 1;
    std::thread m_worker;
    ConverterFactory m_converterFactory;
};

}  // namespace caravel
