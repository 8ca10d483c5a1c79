#include "viewer/shell/ui/FourChoiceDlg.h"

#include "viewer/shell/ui/UiText.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr uint32_t kTextTitle = 62246;
constexpr uint32_t kTextMessage = 61689;
constexpr uint32_t kButtonTexts[4] = {62231, 62247, 62248, 62228};
}  // namespace

CFourChoiceDlg::CFourChoiceDlg(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    setFixedSize(380, 120);
    setWindowTitle(UiQText(kTextTitle));
    auto* message = new QLabel(UiQText(kTextMessage), this);
    message->setGeometry(15, 12, 350, 50);
    message->setWordWrap(true);
    for (int i = 0; i < 4; ++i) {
        const int id = kFourChoiceOk + i;
        buttons_[i] = new QPushButton(UiQText(kButtonTexts[i]), this);
        buttons_[i]->setGeometry(15 + 88 * i, 80, 82, 25);
        connect(buttons_[i], &QPushButton::clicked, this, [this, id] { done(FourChoiceResult(id)); });
    }
    ApplyFont(this, DialogFont());
    // The safe choice has the focus.
    buttons_[3]->setDefault(true);
    buttons_[3]->setFocus();
}

QPushButton* CFourChoiceDlg::Button(int id) const
{
    if (id < kFourChoiceOk || id > kFourChoiceCancel)
        return nullptr;
    return buttons_[id - kFourChoiceOk];
}

void CFourChoiceDlg::reject()
{
    done(FourChoiceResult(std::nullopt));
}
