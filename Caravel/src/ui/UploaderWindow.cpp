#include "Caravel/src/ui/UploaderWindow.h"

#include "Caravel/src/ui/ContextHelp.h"

#include "Caravel/src/UploaderDlg.h"
#include "Caravel/src/ui/AlbumDialog.h"
#include "Caravel/src/ui/UserInfoDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

namespace caravel {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLabel* Sunken(QWidget* parent)
{
    auto* l = new QLabel(" ", parent);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

}  // namespace

UploaderWindow::UploaderWindow()
{
    setWindowTitle("Brovane Uploader");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    m_upload = new QPushButton("&Upload to\nBrovane", this);
    m_cancel = new QPushButton("&Cancel", this);
    m_details = new QPushButton("<< &Details", this);
    m_exit = new QPushButton("E&xit", this);
    m_loginName = new QPushButton("Login &Name", this);
    m_album = new QPushButton("&Album  ", this);
    m_loginText = Sunken(this);
    m_albumText = Sunken(this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_fileName = new QLabel("File Name", this);
    m_fileName->setAlignment(Qt::AlignCenter);
    m_status = new QLabel(" Status", this);
    m_status->setAlignment(Qt::AlignCenter);

    auto* files = new QWidget(this);
    m_files = new QListWidget(files);
    m_files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_remove = new QPushButton("&Remove", files);
    m_remove->setToolTip("Remove selected file from the list");
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addWidget(m_files);
    filesLayout->addWidget(m_remove, 0, Qt::AlignRight);
    m_pages = new QTabWidget(this);
    m_pages->addTab(files, "Files to Upload");

    auto* top = new QGridLayout;
    top->addWidget(m_loginName, 0, 0);
    top->addWidget(m_loginText, 0, 1);
    top->addWidget(m_album, 1, 0);
    top->addWidget(m_albumText, 1, 1);
    top->addWidget(m_upload, 0, 2, 2, 1);
    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_progress);
    groupLayout->addWidget(m_fileName);
    groupLayout->addWidget(m_status);
    auto* side = new QVBoxLayout;
    side->addWidget(m_cancel);
    side->addWidget(m_details);
    side->addWidget(m_exit);
    auto* middle = new QHBoxLayout;
    middle->addWidget(group, 1);
    middle->addLayout(side);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(middle);
    all->addWidget(m_pages, 1);

    connect(m_upload, &QPushButton::clicked, this, [this] { m_logic->OnUpload(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_logic->OnCancelUpload(); });
    connect(m_details, &QPushButton::clicked, this, [this] { m_logic->OnDetails(); });
    connect(m_exit, &QPushButton::clicked, this, [this] { m_logic->OnExit(); });
    connect(m_loginName, &QPushButton::clicked, this, [this] { m_logic->OnLoginName(); });
    connect(m_album, &QPushButton::clicked, this, [this] { m_logic->SelectAlbum(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { OnRemoveClicked(); });

    // right-click help: login name 1082, album 1084, their texts 1051 and 1052,
    // upload 1059, cancel 1056, details 1048, exit 1072
    InstallContextHelp({{m_loginName, 3000}, {m_album, 3010}, {m_loginText, 3020}, {m_albumText, 3030},
                        {m_upload, 3040}, {m_cancel, 3050}, {m_details, 3060}, {m_exit, 3070}});
}

UploaderWindow::~UploaderWindow() = default;

void UploaderWindow::OnUi(const std::function<void()>& work)
{
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void UploaderWindow::ShowMessage(const std::string& text)
{
    OnUi([this, text] { QMessageBox::information(this, windowTitle(), Q(text), QMessageBox::Ok); });
}

void UploaderWindow::SetStatusText(const std::string& text)
{
    OnUi([this, text] { m_status->setText(Q(text)); });
}

void UploaderWindow::SetFileNameText(const std::string& text)
{
    OnUi([this, text] { m_fileName->setText(Q(text)); });
}

void UploaderWindow::AddFileRow(const std::string& name)
{
    // rows hold at most 128 characters
    OnUi([this, name] { m_files->addItem(Q(name).left(127)); });
}

void UploaderWindow::RemoveFileRow(int index)
{
    OnUi([this, index] { delete m_files->takeItem(index); });
}

void UploaderWindow::SetRunning(bool running)
{
    OnUi([this, running] {
        m_cancel->setEnabled(running);
        m_upload->setEnabled(!running);
        m_album->setEnabled(!running);
        m_loginName->setEnabled(!running);
        m_remove->setEnabled(!running);
    });
}

void UploaderWindow::SetLoginNameText(const std::string& text)
{
    OnUi([this, text] { m_loginText->setText(Q(text)); });
}

void UploaderWindow::SetAlbumText(const std::string& text)
{
    OnUi([this, text] { m_albumText->setText(Q(text)); });
}

void UploaderWindow::SetDetails(bool expanded, const std::string& buttonText)
{
    OnUi([this, expanded, buttonText] {
        m_pages->setVisible(expanded);
        m_details->setText(Q(buttonText));
        adjustSize();
    });
}

void UploaderWindow::SetProgressPosition(int position)
{
    OnUi([this, position] {
        m_progress->setValue(position);
        m_progress->repaint();
    });
}

void UploaderWindow::SetWaitCursor(bool wait)
{
    OnUi([wait] {
        if (wait)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            while (QApplication::overrideCursor())
                QApplication::restoreOverrideCursor();
    });
}

void UploaderWindow::FocusUpload()
{
    OnUi([this] { m_upload->setFocus(); });
}

bool UploaderWindow::AskLoginData(LoginData* data, bool keyReady)
{
    UserInfoDialog dialog(this, *data, keyReady);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *data = dialog.Data();
    return true;
}

bool UploaderWindow::AskAlbum(CAlbumSession* session, int32_t* selectedAlbum, bool* useStorageRoom)
{
    AlbumDialog dialog(this, session, *selectedAlbum);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *selectedAlbum = dialog.SelectedAlbum();
    *useStorageRoom = dialog.UseStorageRoom();
    return true;
}

void UploaderWindow::PostToUi(std::function<void()> work)
{
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void UploaderWindow::Quit()
{
    m_quitting = true;
    hide();
    QApplication::quit();
}

void UploaderWindow::reject() { m_logic->OnExit(); }

void UploaderWindow::closeEvent(QCloseEvent* event)
{
    if (m_quitting) {
        event->accept();
        return;
    }
    event->ignore();
    m_logic->OnExit();
}

void UploaderWindow::OnRemoveClicked()
{
    std::vector<int> rows;
    for (int i = 0; i < m_files->count(); ++i)
        if (m_files->item(i)->isSelected())
            rows.push_back(i);
    m_logic->OnRemove(rows);
}

}  // namespace caravel
