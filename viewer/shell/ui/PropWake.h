#pragma once
// Settings page: how the viewer starts.
#include "viewer/shell/ui/SettingsSheetLogic.h"

#include <QWidget>

class QButtonGroup;

class CPropWake : public QWidget {
public:
    explicit CPropWake(QWidget* parent = nullptr);
    void Load(const SheetValues& values);
    void Store(SheetValues* values) const;

    QButtonGroup* AutoStartGroup() const { return autoStart_; }
    QButtonGroup* StartTypeGroup() const { return startType_; }

private:
    QButtonGroup* autoStart_ = nullptr;
    QButtonGroup* startType_ = nullptr;
};
