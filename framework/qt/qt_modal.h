// The modal dialogs of the Qt view: a message box and a file dialog shown for a request from
// the window thread, and the conversions of their texts. GUI thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "framework/view.h"

class QWidget;

namespace zfw {

// Shows the box over parent (may be null) until it is answered; IDOK or IDCANCEL. Esc and the
// close box answer IDCANCEL where there is a Cancel button, IDOK where there is not.
int ShowMessageBox(QWidget* parent, const MessageBoxRequest& request);

// Shows the file dialog over parent (may be null); the chosen file's absolute path, or
// nothing when the person cancels.
std::optional<std::string> ShowFileDialog(QWidget* parent, const FileDialogRequest& request);

// "\r\n" (and a lone "\r") as Qt's "\n".
QString QtText(const std::string& text);

// A filter in the "Name|pattern;pattern|Name|pattern||" form as Qt name filters, one per
// pair: "Name (pattern pattern)". "*.*" becomes "*" (every file, with or without a dot).
QStringList QtFileFilters(const std::string& filter);

}  // namespace zfw
