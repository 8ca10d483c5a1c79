#pragma once
// Dialogs in the language's font: face from text 62201, point size from text
// 62202 (decimal), replacing whatever font the dialog was built with.
class QDialog;
class QWidget;

// Sets the language font on the widget and its children; false when the texts
// give no usable font (the widget keeps its own).
bool ApplyLanguageFont(QWidget* widget);

// Runs the dialog modally in the language font; -1 when there is no dialog to run.
int RunLanguageDialog(QDialog* dialog);
// Shows the dialog modeless in the language font; false when there is none.
bool ShowLanguageDialog(QDialog* dialog);
