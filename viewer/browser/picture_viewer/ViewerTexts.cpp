#include "viewer/browser/picture_viewer/ViewerTexts.h"

#include "viewer/shell/common/LangString.h"

QString ViewerText(uint32_t id) {
    const CLangString text(id);
    return QString::fromStdString(text.Text());
}
