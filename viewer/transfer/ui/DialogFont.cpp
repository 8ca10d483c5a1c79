#include "viewer/transfer/ui/DialogFont.h"

#include "viewer/shell/common/LangString.h"

QFont LangDialogFont(const QFont& base) {
    QFont font = base;
    CLangString face(62201);
    if (!face.IsEmpty()) font.setFamily(QString::fromStdString(face.Text()));
    const int points = LangInt(62202);
    if (points > 0 && points < 100) font.setPointSize(points);
    return font;
}
