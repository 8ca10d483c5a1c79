#include "viewer/shell/common/LangMenu.h"

#include "viewer/shell/common/LanguageContext.h"

bool CLangMenu::LoadMenu(uint32_t id)
{
    menu_ = TheLanguage().LoadMenu(id);
    return menu_.has_value();
}
