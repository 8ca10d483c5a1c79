#include "viewer/shell/LangDialog.h"

#include "viewer/shell/common/LangString.h"

#include <QDialog>
#include <QFont>

namespace {

constexpr uint32_t kTextFontFace = 62201;
constexpr uint32_t kTextFontPoints = 62202;

}  // namespace

bool ApplyLanguageFont(QWidget* widget)
{
    if (!widget)
        return false;
    const CLangString face(kTextFontFace);
    const int points = LangInt(kTextFontPoints);
    if (face.IsEmpty() || points <= 0)
        return false;
    QFont font(QString::fromStdString(face.Text()));
    font.setPointSize(points);
    widget->setFont(font);
    return true;
}

int RunLanguageDialog(QDialog* dialog)
{
    if (!dialog)
        return -1;
    ApplyLanguageFont(dialog);
    return dialog->exec();
}

bool ShowLanguageDialog(QDialog* dialog)
{
    if (!dialog)
        return false;
    ApplyLanguageFont(dialog);
    dialog->show();
    return true;
}
