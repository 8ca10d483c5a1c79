#pragma once
// The dialogs' font as the language names it: face text 62201, size text 62202
// (points, decimal). A missing face or size keeps that part of the base font.
#include <QFont>

QFont LangDialogFont(const QFont& base);
