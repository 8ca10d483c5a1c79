#pragma once
// Qt menus made from the language library's menus: the browser's menu bar and
// its pop-up menus. Enabling and check marks are decided when a menu opens.
#include "platform/lang/LangTables.h"

#include <QPoint>

#include <cstdint>
#include <functional>
#include <vector>

class QMenu;
class QMenuBar;
class QWidget;

struct LangMenuHooks {
    std::function<bool(int32_t command)> enabled;   // empty: every command
    std::function<bool(int32_t command)> checked;   // empty: none
    std::function<void(int32_t command)> run;
    std::function<void(int32_t command)> hovered;   // menu help; 0 when the menu closes
};

// Adds the items (commands, separators, sub-menus) to menu.
void FillLangMenu(QMenu* menu, const std::vector<plat::lang::MenuItem>& items, const LangMenuHooks& hooks);
// The language menu id as a menu bar; false when the language has no such menu.
bool FillLangMenuBar(QMenuBar* bar, uint32_t id, const LangMenuHooks& hooks);
// The first sub-menu of language menu id, opened at global and run to its end;
// false when the language has no such menu.
bool PopupLangMenu(uint32_t id, QWidget* parent, QPoint global, const LangMenuHooks& hooks);
