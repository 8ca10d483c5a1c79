#include "viewer/browser/view/LangMenus.h"

#include "viewer/shell/common/LangMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

using plat::lang::MenuItem;

void AddItems(QMenu* menu, const std::vector<MenuItem>& items, const LangMenuHooks& hooks) {
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::Kind::Separator: menu->addSeparator(); break;
        case MenuItem::Kind::Popup: {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.text));
            FillLangMenu(sub, item.items, hooks);
            break;
        }
        case MenuItem::Kind::Command: {
            QAction* action = menu->addAction(QString::fromStdString(item.text));
            const int32_t command = static_cast<int32_t>(item.command);
            action->setData(command);
            if (hooks.run) QObject::connect(action, &QAction::triggered, menu, [run = hooks.run, command] { run(command); });
            if (hooks.hovered)
                QObject::connect(action, &QAction::hovered, menu, [h = hooks.hovered, command] { h(command); });
            break;
        }
        }
    }
}

// Enabling and check marks as they are when the menu opens.
void UpdateStates(QMenu* menu, const LangMenuHooks& hooks) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu()) continue;
        const int32_t command = action->data().toInt();
        action->setEnabled(!hooks.enabled || hooks.enabled(command));
        const bool checked = hooks.checked && hooks.checked(command);
        action->setCheckable(checked || action->isCheckable());
        action->setChecked(checked);
    }
}

}  // namespace

void FillLangMenu(QMenu* menu, const std::vector<MenuItem>& items, const LangMenuHooks& hooks) {
    AddItems(menu, items, hooks);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, hooks] { UpdateStates(menu, hooks); });
    if (hooks.hovered) QObject::connect(menu, &QMenu::aboutToHide, menu, [h = hooks.hovered] { h(0); });
}

bool FillLangMenuBar(QMenuBar* bar, uint32_t id, const LangMenuHooks& hooks) {
    CLangMenu lang;
    if (!lang.LoadMenu(id) || !lang.GetMenu()) return false;
    for (const MenuItem& item : *lang.GetMenu()) {
        if (item.kind != MenuItem::Kind::Popup) continue;
        QMenu* menu = bar->addMenu(QString::fromStdString(item.text));
        FillLangMenu(menu, item.items, hooks);
    }
    return true;
}

bool PopupLangMenu(uint32_t id, QWidget* parent, QPoint global, const LangMenuHooks& hooks) {
    CLangMenu lang;
    if (!lang.LoadMenu(id) || !lang.GetMenu() || lang.GetMenu()->empty()) return false;
    const MenuItem& first = lang.GetMenu()->front();
    if (first.kind != MenuItem::Kind::Popup) return false;
    // The command runs once the menu is gone, not from inside its loop.
    LangMenuHooks inMenu = hooks;
    inMenu.run = nullptr;
    QMenu menu(parent);
    FillLangMenu(&menu, first.items, inMenu);
    QAction* chosen = menu.exec(global);
    if (chosen && !chosen->menu() && hooks.run) hooks.run(chosen->data().toInt());
    return true;
}
