#include "viewer/shell/ui/PropWake.h"

#include "viewer/shell/ui/SheetLabels.h"
#include "viewer/shell/ui/UiText.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QButtonGroup* RadioGroup(QWidget* page, QVBoxLayout* layout, std::initializer_list<uint32_t> labels)
{
    auto* group = new QButtonGroup(page);
    int id = 0;
    for (uint32_t label : labels) {
        auto* radio = new QRadioButton(UiQText(label), page);
        group->addButton(radio, id++);
        layout->addWidget(radio);
    }
    layout->addSpacing(12);
    return group;
}
}  // namespace

CPropWake::CPropWake(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    autoStart_ = RadioGroup(this, layout, {sheet_label::kAutoStartOn, sheet_label::kAutoStartOff});
    startType_ = RadioGroup(this, layout, {sheet_label::kStartPanel, sheet_label::kStartBrowser});
    layout->addStretch();
}

void CPropWake::Load(const SheetValues& values)
{
    autoStart_->button(values.startUp.AutoStart == 1 ? 1 : 0)->setChecked(true);
    startType_->button(values.startUp.StartType == 1 ? 1 : 0)->setChecked(true);
}

void CPropWake::Store(SheetValues* values) const
{
    values->startUp.AutoStart = autoStart_->checkedId() == 1 ? 1 : 0;
    values->startUp.StartType = startType_->checkedId() == 1 ? 1 : 0;
}
