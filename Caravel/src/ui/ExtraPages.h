#pragma once
// Two pages the upload dialog defines but does not place: the picture size choice and the
// upload log.
#include <QWidget>

#include <functional>

class QRadioButton;

namespace caravel {

class CSizeDlg : public QWidget {
public:
    // onChanged gets the new size code (1-4) after a click.
    CSizeDlg(QWidget* parent, int32_t sizeCode, std::function<void(int32_t)> onChanged);
    int32_t SizeCode() const { return m_sizeCode; }

private:
    int32_t m_sizeCode;
};

class CUploadLogPage : public QWidget {
public:
    explicit CUploadLogPage(QWidget* parent);
};

}  // namespace caravel
