#include "framework/qt/qt_modal.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace zfw {

int ShowMessageBox(QWidget* parent, const MessageBoxRequest& request) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromStdString(request.caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(QtText(request.text));
  box.setIcon((request.type & MB_ICONMASK) == MB_ICONEXCLAMATION ? QMessageBox::Warning
                                                                 : QMessageBox::NoIcon);
  QAbstractButton* ok = box.addButton(QMessageBox::Ok);
  QAbstractButton* cancel = nullptr;
  if ((request.type & MB_TYPEMASK) == MB_OKCANCEL) cancel = box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(
      static_cast<QPushButton*>((cancel && (request.type & MB_DEFBUTTON2)) ? cancel : ok));
  box.setEscapeButton(cancel ? cancel : ok);
  box.exec();
  if (box.clickedButton() == ok) return IDOK;
  return cancel ? IDCANCEL : IDOK;
}

std::optional<std::string> ShowFileDialog(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!request.defaultExt.empty())
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
  const QStringList filters = QtFileFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & OFN_OVERWRITEPROMPT) == 0);
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QFileInfo(files.first()).absoluteFilePath().toStdString();
}

QString QtText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QStringList QtFileFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList out;
  static const QRegularExpression kTrailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i].trimmed();
    // Some callers' strings carry a stray ';' before a name; it is no part of the name.
    while (name.startsWith(QLatin1Char(';'))) name = name.mid(1).trimmed();
    const QString pattern = parts[i + 1].trimmed();
    if (name.isEmpty() && pattern.isEmpty()) break;
    QStringList patterns;
    for (QString p : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      p = p.trimmed();
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
      if (!p.isEmpty() && !patterns.contains(p)) patterns.push_back(p);
    }
    if (patterns.isEmpty()) continue;
    // Qt shows the patterns after the name itself; drop the name's own copy of them.
    name.remove(kTrailingPatterns);
    const QString joined = patterns.join(QLatin1Char(' '));
    out.push_back(name.isEmpty() ? joined
                                 : name + QStringLiteral(" (") + joined + QLatin1Char(')'));
  }
  return out;
}

}  // namespace zfw
