#include "viewer/browser/view/InfoEdit.h"

#include <QScrollBar>

CInfoEdit::CInfoEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    setPalette(p);
    SetInfoText({});
}

int CInfoEdit::LineCount() const { return document()->blockCount(); }

void CInfoEdit::SetInfoText(const std::string& text) {
    setPlainText(QString::fromStdString(text));
    const Qt::ScrollBarPolicy policy = LineCount() > 1 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    setVerticalScrollBarPolicy(policy);
    setHorizontalScrollBarPolicy(policy);
    verticalScrollBar()->setValue(0);
    moveCursor(QTextCursor::Start);
}
