// Qt widgets that behave as the dialog's controls do, for the Qt view. GUI thread only.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

#include "framework/afx.h"

namespace zfw::qtview_detail {

inline QColor FromColorRef(COLORREF c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

// Check boxes and toggles change only when the model says so: a click is reported and the
// window thread's answer decides the new state, so a refused click cannot leave the widget
// out of step with the model.
class ModelToggle : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void nextCheckState() override {}
};

class ModelCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {}
};

// A progress bar keeps its mouse input, like the native control: a double-click on it is not
// one on the window background.
class SolidProgressBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;

 protected:
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }
};

}  // namespace zfw::qtview_detail
