#pragma once
// The transfer panel: the small window shown while a camera or card is
// connected. Its big button starts a transfer; others open the browser, the
// settings and help or close the program; a menu picks the picture size, a
// dialog which pictures, two toggles the destinations. It also answers a camera
// that asks for a transfer through the card's handshake files.
#include "platform/msg/MessageReceiver.h"
#include "viewer/transfer/ui/AcquireLogic.h"
#include "viewer/transfer/ui/TransferJob.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class CViewSettings;
class QLabel;
class QMenu;
class QAbstractButton;

// What the panel takes from the application and the main frame.
class AcquireHost {
public:
    virtual ~AcquireHost() = default;
    virtual CViewSettings* Settings() = 0;
    virtual bool WebUploadAvailable() = 0;
    virtual plat::WindowHandle MainFrame() = 0;
    virtual void KillStatusTimer() = 0;
    virtual void ConnectTarget() = 0;
    virtual void ShowHelpTopic(uint32_t contextId) = 0;
    // The settings sheet over the settings object (titled 62701); on OK the
    // pages are written back and the settings saved.
    virtual void RunSettingsSheet(QWidget* parent) = 0;
    // A transfer thread for a run of the given mode.
    virtual std::unique_ptr<TransferJob> MakeTransferJob(int32_t mode) = 0;
    // The handshake with the camera of the card in drive deviceIndex.
    virtual std::unique_ptr<RequestHandshake> MakeHandshake(int32_t deviceIndex) {
        return MakeCardHandshake(deviceIndex);
    }
};

class CAcquireDlg : public QDialog {
public:
    enum Control : uint32_t {
        kTransfer = 1025, kImageSize = 1028, kSelection = 1031, kBrowser = 1002,
        kSettings = 1006, kHelp = 1013, kExit = 1020, kToggleLocal = 1055, kToggleWeb = 1056,
    };

    explicit CAcquireDlg(AcquireHost* host, QWidget* parent = nullptr);
    ~CAcquireDlg() override;

    plat::WindowHandle handle() const { return receiver_->handle(); }
    const CAcquireLogic& logic() const { return logic_; }
    QAbstractButton* button(Control id) const;
    QMenu* imageSizeMenu() const { return sizeMenu_; }
    QString selectionText() const;

    // The main frame's opening: centred on the desktop, shown normally, active.
    void ShowCentred();
    // The main frame: a target is open (its device index).
    void SetTarget(int32_t index);

    // A progress dialog for the run; its result. Mode 0 the panel's button, 2 a
    // camera's request.
    int32_t RunTransfer(int32_t mode);
    void WriteChoices();

    // The handlers (public so the main frame's messages and tests reach them).
    void OnTransfer();
    void OnTransferRequest();
    void OnSelection();
    void OnImageSizeCommand(uint32_t command);
    void OnToggleLocal();
    void OnToggleWeb();
    void OnBrowser();
    void OnSettings();
    void OnHelp();
    void OnExit();

    // Whether the user holds one of the panel's buttons down just now.
    bool IsButtonPressed() const;

    // Hook for tests: answers the selection dialog instead of showing it.
    std::function<int(class CSelectImage&)> runSelectImage;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    void Layout();
    void UpdateEnabled();
    void UpdateFaces();
    void MakeButton(Control id, int set, QRect geometry);
    int ImageSizeRow() const;

    AcquireHost* host_;
    CAcquireLogic logic_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    std::map<uint32_t, QAbstractButton*> buttons_;
    QMenu* sizeMenu_ = nullptr;
    QLabel* selectionCaption_ = nullptr;   // 1163
    QLabel* selectionText_ = nullptr;      // 1050
    QLabel* localLabel_ = nullptr;         // 1057
    QLabel* webLabel_ = nullptr;           // 1059
    bool exiting_ = false;
};
