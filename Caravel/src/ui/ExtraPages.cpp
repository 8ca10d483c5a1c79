#include "Caravel/src/ui/ExtraPages.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace caravel {

CSizeDlg::CSizeDlg(QWidget* parent, int32_t sizeCode, std::function<void(int32_t)> onChanged)
    : QWidget(parent), m_sizeCode(sizeCode)
{
    static const char* const texts[] = {"Original", "4x6  (640 x 480)", "5x7  (1024 x 768)", "8x10  (1220 x 960)"};
    auto* layout = new QVBoxLayout(this);
    const int32_t checked = sizeCode >= 2 && sizeCode <= 4 ? sizeCode : 1;
    for (int32_t code = 1; code <= 4; ++code) {
        auto* radio = new QRadioButton(texts[code - 1], this);
        radio->setChecked(code == checked);
        layout->addWidget(radio);
        connect(radio, &QRadioButton::clicked, this, [this, code, onChanged] {
            m_sizeCode = code;
            if (onChanged)
                onChanged(code);
        });
    }
}

CUploadLogPage::CUploadLogPage(QWidget* parent) : QWidget(parent)
{
    auto* list = new QListWidget(this);
    list->setToolTip("Successfully Uploaded Files");
    list->setContextMenuPolicy(Qt::NoContextMenu);
    auto* save = new QPushButton("&Save As", this);
    save->setToolTip("Save Log Data in Text File");
    auto* clear = new QPushButton("&Clear ", this);
    clear->setToolTip("Clear Upload Log");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(clear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(buttons);
}

}  // namespace caravel
