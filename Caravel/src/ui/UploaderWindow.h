#pragma once
// The upload program's only window: presents the upload dialog's logic. Every view call may come
// from the worker thread; it is carried over to the UI thread before any widget is touched.
#include "Caravel/src/UploaderDialogView.h"

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace caravel {

class CUploaderDlg;

class UploaderWindow : public QDialog, public UploaderDialogView {
public:
    UploaderWindow();
    ~UploaderWindow() override;

    void SetLogic(CUploaderDlg* logic) { m_logic = logic; }

    void ShowMessage(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetFileNameText(const std::string& text) override;
    void AddFileRow(const std::string& name) override;
    void RemoveFileRow(int index) override;
    void SetRunning(bool running) override;
    void SetLoginNameText(const std::string& text) override;
    void SetAlbumText(const std::string& text) override;
    void SetDetails(bool expanded, const std::string& buttonText) override;
    void SetProgressPosition(int position) override;
    void SetWaitCursor(bool wait) override;
    void FocusUpload() override;
    bool AskLoginData(LoginData* data, bool keyReady) override;
    bool AskAlbum(CAlbumSession* session, int32_t* selectedAlbum, bool* useStorageRoom) override;
    void PostToUi(std::function<void()> work) override;
    void Quit() override;

protected:
    void reject() override;  // Escape
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs work on the UI thread and waits for it.
    void OnUi(const std::function<void()>& work);
    void OnRemoveClicked();

    CUploaderDlg* m_logic = nullptr;
    bool m_quitting = false;
    QPushButton* m_upload;
    QPushButton* m_cancel;
    QPushButton* m_details;
    QPushButton* m_exit;
    QPushButton* m_loginName;
    QPushButton* m_album;
    QPushButton* m_remove;
    QLabel* m_loginText;
    QLabel* m_albumText;
    QLabel* m_fileName;
    QLabel* m_status;
    QProgressBar* m_progress;
    QTabWidget* m_pages;
    QListWidget* m_files;
};

}  // namespace caravel
