#include "Caravel/src/ui/UserInfoDialog.h"

#include "Caravel/src/UploaderSettings.h"
#include "Caravel/src/UserInfoDlg.h"
#include "platform/shell/WebAddress.h"

#include "Caravel/src/ui/UploaderApp.h"
#include "Caravel/src/ui/ContextHelp.h"
#include "platform/shell/HelpTopic.h"

#include <QApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace caravel {

UserInfoDialog::UserInfoDialog(QWidget* parent, const LoginData& data, bool keyReady) : QDialog(parent)
{
    setWindowTitle("User Information");
    m_userName = new QLineEdit(QString::fromStdString(data.userName), this);
    m_userName->setMaxLength(CUserInfoDlg::kMaxUserNameLength);
    m_password = new QLineEdit(QString::fromStdString(data.password), this);
    m_password->setEchoMode(QLineEdit::Password);
    // what the stored value can hold
    m_password->setMaxLength(static_cast<int>(UploaderSettings::kMaxPasswordLength));
    m_remember = new QCheckBox("Remember Password", this);
    m_autoUpload = new QCheckBox("Upload On Startup", this);
    if (keyReady)
        m_remember->setChecked(data.passwordFlag);
    else
        m_remember->setEnabled(false);
    m_autoUpload->setChecked(data.autoUploadFlag);
    auto* forgot = new QPushButton("&Forgot Password?", this);
    auto* member = new QPushButton("&New Member?", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* form = new QFormLayout;
    form->addRow("User Name", m_userName);
    form->addRow("Password", m_password);
    auto* pages = new QHBoxLayout;
    pages->addWidget(forgot);
    pages->addWidget(member);
    auto* all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addWidget(m_remember);
    all->addWidget(m_autoUpload);
    all->addLayout(pages);
    all->addWidget(new QLabel("F1 for Help", this));
    all->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { plat::showHelpTopic(CUploaderApp::InstallDir(), "userinfo.htm", this); });
    connect(forgot, &QPushButton::clicked, this, [this] { OpenPage(false); });
    connect(member, &QPushButton::clicked, this, [this] { OpenPage(true); });
    // right-click help: forgot password 1070, new member 1071, remember 1014, upload on start 1091
    InstallContextHelp({{forgot, 2000}, {member, 2010}, {m_remember, 2020}, {m_autoUpload, 2030}});

    switch (CUserInfoDlg::InitialFocus(data.userName, data.password)) {
    case CUserInfoDlg::Focus::UserName: m_userName->setFocus(); break;
    case CUserInfoDlg::Focus::Password: m_password->setFocus(); break;
    case CUserInfoDlg::Focus::Default: break;
    }
}

LoginData UserInfoDialog::Data() const
{
    return {m_userName->text().toStdString(), m_password->text().toStdString(), m_remember->isChecked(),
            m_autoUpload->isChecked()};
}

void UserInfoDialog::OpenPage(bool member)
{
    std::string text;
    const bool found = member ? CUserInfoDlg::MemberPage(&text) : CUserInfoDlg::PasswordPage(&text);
    if (!found) {
        QMessageBox::information(this, windowTitle(), QString::fromStdString(text));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    plat::openWebAddress(text);  // a browser that does not start is not reported
    QApplication::restoreOverrideCursor();
}

}  // namespace caravel
