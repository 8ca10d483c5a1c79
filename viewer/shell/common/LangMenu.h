#pragma once
// A menu by id from the process's language library.
#include "platform/lang/LangTables.h"

#include <cstdint>
#include <optional>

class CLangMenu {
public:
    // True when the menu exists in the library's language.
    bool LoadMenu(uint32_t id);
    const plat::lang::Menu* GetMenu() const { return menu_ ? &*menu_ : nullptr; }

private:
    std::optional<plat::lang::Menu> menu_;
};
