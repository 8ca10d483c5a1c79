#pragma once
// "User Information": login name, password, remember password, upload on start, and the
// service's pages for a forgotten password and for new members.
#include "Caravel/src/UploaderDialogView.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace caravel {

class UserInfoDialog : public QDialog {
public:
    UserInfoDialog(QWidget* parent, const LoginData& data, bool keyReady);
    LoginData Data() const;

private:
    void OpenPage(bool member);

    QLineEdit* m_userName;
    QLineEdit* m_password;
    QCheckBox* m_remember;
    QCheckBox* m_autoUpload;
};

}  // namespace caravel
