#pragma once

#include <QString>

class QWidget;

// Shows a modal message box with an OK button, titled "Corvala" like every box of the
// program. `details` (optional) goes below the message, for the operating system's reason.
void ShowMessage(QWidget* parent, const QString& text, const QString& details = {});
