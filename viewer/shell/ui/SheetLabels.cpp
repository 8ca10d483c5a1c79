#include "viewer/shell/ui/SheetLabels.h"

#include "viewer/shell/ui/UiText.h"

#include <QWidget>

int ShowSheetMessage(QWidget* page, uint32_t textId, plat::MessageIcon icon, const std::string& arg,
                     plat::MessageButtons buttons)
{
    plat::MessageBoxRequest request;
    request.text = arg.empty() ? UiText(textId) : FormatUiText(UiText(textId), arg);
    request.caption = page && page->window() ? page->window()->windowTitle().toStdString() : std::string();
    request.icon = icon;
    request.buttons = buttons;
    return plat::showMessageBox(request);
}
