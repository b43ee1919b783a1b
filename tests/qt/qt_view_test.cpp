#include "framework/qt/qt_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QValidator>
#include <QWindow>
#include <cmath>
#include <mutex>
#include <thread>

#include "app/icon.h"
#include "framework/qt/qt_modal.h"
#include "tests/qt/qt_test_support.h"

namespace zfw {
namespace {

using testing::Drain;
using testing::OnWindowThread;
using testing::ProcessUntil;
namespace st = zfw::style;
using Kind = InputEvent::Kind;

enum : int {
  kGroup = 100,
  kToggle = 101,
  kStart = 102,
  kNumber = 103,
  kReadOnly = 104,
  kLabel = 105,
  kCombo = 106,
  kProgress = 107,
  kCheck = 108,
};
constexpr HICON kIconId = 128;

constexpr uint32_t kChild = st::WS_CHILD | st::WS_VISIBLE;

DialogTemplate TestTemplate() {
  DialogTemplate t;
  t.id = 1;
  t.title = "Zentrova test";
  t.cx = 200;
  t.cy = 106;
  t.style = st::WS_POPUP | st::WS_CAPTION | st::WS_SYSMENU | st::WS_MINIMIZEBOX | st::DS_CENTER |
            st::DS_SHELLFONT;
  t.fontName = "MS Shell Dlg";  // not on a Linux system: the application's font stands in
  t.fontPoints = 8;
  auto add = [&t](int id, ControlClass cls, uint32_t style, CRect r) {
    t.items.push_back(DialogItem{id, cls, kChild | style, r});
  };
  add(kGroup, ControlClass::kButton, st::BS_GROUPBOX | st::BS_CENTER, {5, 5, 190, 62});
  add(kToggle, ControlClass::kButton, st::BS_AUTOCHECKBOX | st::BS_PUSHLIKE | st::WS_TABSTOP,
      {12, 18, 50, 14});
  add(kStart, ControlClass::kButton, st::BS_PUSHBUTTON | st::WS_TABSTOP, {68, 18, 50, 14});
  add(kNumber, ControlClass::kEdit, st::ES_NUMBER | st::ES_RIGHT | st::WS_BORDER | st::WS_TABSTOP,
      {12, 40, 40, 12});
  add(kReadOnly, ControlClass::kEdit, st::ES_READONLY | st::WS_BORDER | st::WS_TABSTOP,
      {58, 40, 60, 12});
  add(kLabel, ControlClass::kStatic, st::SS_LEFT, {126, 18, 64, 20});
  add(kCombo, ControlClass::kComboBox, st::CBS_DROPDOWN | st::WS_VSCROLL | st::WS_TABSTOP,
      {126, 40, 64, 60});
  add(kProgress, ControlClass::kProgress, st::PBS_SMOOTH | st::WS_BORDER, {5, 74, 190, 10});
  add(kCheck, ControlClass::kButton, st::BS_AUTOCHECKBOX | st::WS_TABSTOP, {5, 90, 10, 10});
  return t;
}

std::vector<ControlState> InitialStates(const DialogTemplate& t) {
  std::vector<ControlState> out;
  for (const DialogItem& item : t.items) {
    ControlState s;
    s.id = item.id;
    s.cls = item.cls;
    s.style = item.style;
    s.rect = item.rect;
    out.push_back(s);
  }
  auto set = [&out](int id) -> ControlState& {
    for (ControlState& s : out) {
      if (s.id == id) return s;
    }
    throw std::out_of_range("no control");
  };
  set(kGroup).text = "Logger";
  set(kToggle).text = "Record";
  set(kStart).text = "Start";
  set(kNumber).text = "300";
  set(kReadOnly).text = "12.60 V";
  set(kLabel).text = "Cells:\r\nPeriod:";
  set(kCombo).items = {"COM1", "COM3"};
  set(kCombo).curSel = 0;
  set(kCombo).text = "COM1";
  set(kProgress).rangeHigh = 120;
  set(kProgress).pos = 40;
  return out;
}

class Recorder {
 public:
  InputSink Sink() {
    return [this](const InputEvent& e) {
      std::lock_guard lock(mutex_);
      events_.push_back(e);
    };
  }
  std::vector<InputEvent> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<InputEvent> events_;
};

std::string Describe(const std::vector<InputEvent>& events) {
  static const char* const kNames[] = {"click",    "edit",  "focus",  "select",
                                       "dblclick", "enter", "escape", "close"};
  std::string out;
  for (const InputEvent& e : events) {
    out += std::string(kNames[static_cast<int>(e.kind)]) + "{" + std::to_string(e.id);
    if (e.kind == Kind::kEditText) out += ",'" + e.text + "'";
    if (e.kind == Kind::kComboSelect) out += "," + std::to_string(e.index);
    if (e.kind == Kind::kDoubleClick)
      out += "," + std::to_string(e.point.x) + "," + std::to_string(e.point.y);
    out += "} ";
  }
  return out;
}

// Our own reading of the dialog-unit rule, to check the view's against.
QRect ExpectedRect(const CRect& r, QSize base) {
  auto conv = [](int v, int unit, int den) {
    return static_cast<int>(std::lround(v * unit / static_cast<double>(den)));
  };
  return QRect(conv(r.x, base.width(), 4), conv(r.y, base.height(), 8), conv(r.cx, base.width(), 4),
               conv(r.cy, base.height(), 8));
}

void SendMouse(QWidget* window, QEvent::Type type, QPoint at) {
  const Qt::MouseButtons buttons =
      (type == QEvent::MouseButtonRelease) ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent e(type, QPointF(at), QPointF(at), QPointF(window->mapToGlobal(at)), Qt::LeftButton,
                buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(window->windowHandle(), &e);
}

// Mouse input as the window system delivers it: to the window, which finds the child.
void Click(QWidget* window, QPoint at) {
  SendMouse(window, QEvent::MouseButtonPress, at);
  SendMouse(window, QEvent::MouseButtonRelease, at);
}

void DoubleClick(QWidget* window, QPoint at) {
  Click(window, at);
  SendMouse(window, QEvent::MouseButtonDblClick, at);
  SendMouse(window, QEvent::MouseButtonRelease, at);
}

void Key(QWidget* window, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(window->windowHandle(), &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(window->windowHandle(), &release);
}

// The centre of control id in window coordinates.
QPoint CentreOf(QWidget* w) { return w->geometry().center(); }

class QtViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = std::make_unique<QtView>(std::map<HICON, QIcon>{{kIconId, ZentrovaIcon()}});
    tmpl_ = TestTemplate();
    states_ = InitialStates(tmpl_);
    // Shown from another thread, as the window thread does.
    std::thread([&] { view_->Show(tmpl_, states_, kIconId, recorder_.Sink()); }).join();
    ASSERT_TRUE(ProcessUntil([&] { return view_->Window() && view_->Window()->isVisible(); }));
    ASSERT_TRUE(ProcessUntil([&] { return view_->Window()->isActiveWindow(); }));
    Drain();
    recorder_.Take();  // whatever activating the window brought
  }

  void TearDown() override {
    if (view_->Window() && view_->Window()->isVisible()) {
      std::thread([&] { view_->Hide(); }).join();
      EXPECT_TRUE(ProcessUntil([&] { return !view_->Window()->isVisible(); }));
    }
    view_.reset();
  }

  ControlState& State(int id) {
    for (ControlState& s : states_) {
      if (s.id == id) return s;
    }
    throw std::out_of_range("no control");
  }

  // Tells the view of a change from the window thread, then lets the GUI thread apply it.
  void Change(const ControlState& s) {
    std::thread([&] { view_->OnControlChanged(s); }).join();
    Drain();
  }
  void Focus(int id) {
    std::thread([&] { view_->OnFocusChanged(id); }).join();
    Drain();
  }

  template <typename T>
  T* W(int id) {
    auto* w = qobject_cast<T*>(view_->Widget(id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
  }
  QWidget* Win() { return view_->Window(); }

  std::unique_ptr<QtView> view_;
  DialogTemplate tmpl_;
  std::vector<ControlState> states_;
  Recorder recorder_;
};

TEST_F(QtViewTest, WindowHasTitleIconAndFixedSizeFromBaseUnits) {
  QWidget* w = Win();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Zentrova test"));
  EXPECT_FALSE(w->windowIcon().isNull());
  EXPECT_EQ(w->minimumSize(), w->maximumSize());
  EXPECT_EQ(w->size(), w->minimumSize());

  // The template names a font this system lacks: the application's font at 8 points.
  EXPECT_EQ(w->font().family(), QApplication::font().family());
  EXPECT_EQ(w->font().pointSize(), 8);

  const QFontMetrics fm(w->font());
  const int avg = static_cast<int>(std::lround(
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
      52.0));
  const QSize base = view_->BaseUnits();
  EXPECT_EQ(base, QSize(avg, fm.height()));
  EXPECT_EQ(w->size(), ExpectedRect(CRect{0, 0, 200, 106}, base).size());

  const Qt::WindowFlags flags = w->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(QtViewTest, ControlsSitAtTheirRectanglesInPixels) {
  const QSize base = view_->BaseUnits();
  for (const DialogItem& item : tmpl_.items) {
    if (item.id == kCombo) continue;
    SCOPED_TRACE(item.id);
    EXPECT_EQ(view_->Widget(item.id)->geometry(), ExpectedRect(item.rect, base));
    EXPECT_EQ(view_->MapDialogRect(item.rect), ExpectedRect(item.rect, base));
  }
  // A combo box keeps its own height; the template's is its drop-down list's.
  auto* combo = W<QComboBox>(kCombo);
  const QRect expected = ExpectedRect(State(kCombo).rect, base);
  EXPECT_EQ(combo->geometry().topLeft(), expected.topLeft());
  EXPECT_EQ(combo->width(), expected.width());
  EXPECT_EQ(combo->height(), combo->sizeHint().height());
}

TEST_F(QtViewTest, WidgetsFollowTheTemplateStyles) {
  auto* toggle = W<QPushButton>(kToggle);
  EXPECT_TRUE(toggle->isCheckable());
  EXPECT_EQ(toggle->text(), QStringLiteral("Record"));
  auto* start = W<QPushButton>(kStart);
  EXPECT_FALSE(start->isCheckable());
  for (QPushButton* b : {toggle, start}) {
    EXPECT_FALSE(b->autoDefault());
    EXPECT_FALSE(b->isDefault());
  }
  auto* check = W<QCheckBox>(kCheck);
  EXPECT_TRUE(check->text().isEmpty());

  auto* number = W<QLineEdit>(kNumber);
  EXPECT_EQ(number->text(), QStringLiteral("300"));
  EXPECT_TRUE(number->alignment() & Qt::AlignRight);
  EXPECT_FALSE(number->isReadOnly());
  EXPECT_TRUE(number->hasFrame());
  ASSERT_NE(number->validator(), nullptr);
  for (auto [text, state] : {std::pair{QString("0123"), QValidator::Acceptable},
                             std::pair{QString(""), QValidator::Acceptable},
                             std::pair{QString("12a"), QValidator::Invalid},
                             std::pair{QString("-1"), QValidator::Invalid}}) {
    int pos = 0;
    EXPECT_EQ(number->validator()->validate(text, pos), state) << text.toStdString();
  }
  auto* readOnly = W<QLineEdit>(kReadOnly);
  EXPECT_TRUE(readOnly->isReadOnly());
  EXPECT_EQ(readOnly->validator(), nullptr);
  EXPECT_TRUE(readOnly->alignment() & Qt::AlignLeft);

  auto* label = W<QLabel>(kLabel);
  EXPECT_EQ(label->text(), QStringLiteral("Cells:\nPeriod:"));
  EXPECT_FALSE(label->wordWrap());
  EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
  EXPECT_TRUE(label->testAttribute(Qt::WA_TransparentForMouseEvents));

  auto* group = W<QGroupBox>(kGroup);
  EXPECT_EQ(group->title(), QStringLiteral("Logger"));
  EXPECT_EQ(group->alignment(), Qt::AlignHCenter);
  EXPECT_TRUE(group->testAttribute(Qt::WA_TransparentForMouseEvents));

  auto* combo = W<QComboBox>(kCombo);
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(combo->currentText(), QStringLiteral("COM1"));

  auto* bar = W<QProgressBar>(kProgress);
  EXPECT_FALSE(bar->isTextVisible());
  EXPECT_EQ(bar->maximum(), 120);
  EXPECT_EQ(bar->value(), 40);
}

TEST_F(QtViewTest, TabOrderIsTheTemplateOrderOfTabStops) {
  std::vector<int> order;
  QWidget* w = view_->Widget(kToggle);
  for (int i = 0; i < 64 && order.size() < 6; ++i, w = w->nextInFocusChain()) {
    if (!(w->focusPolicy() & Qt::TabFocus)) continue;
    for (int id :
         {kToggle, kStart, kNumber, kReadOnly, kCombo, kCheck, kLabel, kGroup, kProgress}) {
      if (view_->Widget(id) == w) order.push_back(id);
    }
  }
  EXPECT_EQ(order, (std::vector<int>{kToggle, kStart, kNumber, kReadOnly, kCombo, kCheck}));
}

struct ModelCase {
  const char* name;
  int id;
  std::function<void(ControlState&)> change;
  std::function<bool(QtView&)> shown;
};

TEST_F(QtViewTest, ModelChangesFromAnotherThreadReachTheWidgets) {
  auto as = [](QtView& v, int id) { return v.Widget(id); };
  const std::vector<ModelCase> cases = {
      {"toggle caption and check", kToggle,
       [](ControlState& s) {
         s.text = "Stop";
         s.check = 1;
       },
       [&](QtView& v) {
         auto* b = qobject_cast<QPushButton*>(as(v, kToggle));
         return b->text() == "Stop" && b->isChecked();
       }},
      {"button disabled", kStart, [](ControlState& s) { s.enabled = false; },
       [&](QtView& v) { return !as(v, kStart)->isEnabled(); }},
      {"check box checked", kCheck, [](ControlState& s) { s.check = 1; },
       [&](QtView& v) { return qobject_cast<QCheckBox*>(as(v, kCheck))->isChecked(); }},
      {"edit text", kNumber, [](ControlState& s) { s.text = "450"; },
       [&](QtView& v) { return qobject_cast<QLineEdit*>(as(v, kNumber))->text() == "450"; }},
      {"label lines", kLabel, [](ControlState& s) { s.text = "Voltage\r\nCurrent"; },
       [&](QtView& v) {
         return qobject_cast<QLabel*>(as(v, kLabel))->text() == "Voltage\nCurrent";
       }},
      {"combo list and selection", kCombo,
       [](ControlState& s) {
         s.items = {"COM2", "COM5", "COM7"};
         s.curSel = 2;
         s.text = "COM7";
       },
       [&](QtView& v) {
         auto* c = qobject_cast<QComboBox*>(as(v, kCombo));
         return c->count() == 3 && c->itemText(1) == "COM5" && c->currentIndex() == 2 &&
                c->currentText() == "COM7";
       }},
      {"combo text without selection", kCombo,
       [](ControlState& s) {
         s.curSel = -1;
         s.text = "no";
       },
       [&](QtView& v) {
         auto* c = qobject_cast<QComboBox*>(as(v, kCombo));
         return c->count() == 3 && c->currentIndex() == -1 && c->lineEdit()->text() == "no";
       }},
      {"progress range and clamped position", kProgress,
       [](ControlState& s) {
         s.rangeLow = 0;
         s.rangeHigh = 60;
         s.pos = 75;
       },
       [&](QtView& v) {
         auto* b = qobject_cast<QProgressBar*>(as(v, kProgress));
         return b->minimum() == 0 && b->maximum() == 60 && b->value() == 60;
       }},
      {"progress colour", kProgress, [](ControlState& s) { s.barColor = RGB(0, 160, 32); },
       [&](QtView& v) {
         return as(v, kProgress)->palette().color(QPalette::Highlight) == QColor(0, 160, 32);
       }},
      {"progress default colour", kProgress, [](ControlState& s) { s.barColor = CLR_DEFAULT; },
       [&](QtView& v) {
         return as(v, kProgress)->palette().color(QPalette::Highlight) ==
                QApplication::palette(as(v, kProgress)).color(QPalette::Highlight);
       }},
      {"button enabled again", kStart, [](ControlState& s) { s.enabled = true; },
       [&](QtView& v) { return as(v, kStart)->isEnabled(); }},
  };
  for (const ModelCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.change(State(c.id));
    Change(State(c.id));
    EXPECT_TRUE(ProcessUntil([&] { return c.shown(*view_); }));
  }

  Focus(kNumber);
  EXPECT_TRUE(ProcessUntil([&] { return QApplication::focusWidget() == view_->Widget(kNumber); }));
  Focus(kCombo);
  EXPECT_TRUE(ProcessUntil([&] {
    return Win()->focusWidget() && Win()->focusWidget()->window() == Win() &&
           (Win()->focusWidget() == view_->Widget(kCombo) ||
            Win()->focusWidget()->parentWidget() == view_->Widget(kCombo));
  }));
  Focus(0);
  EXPECT_TRUE(ProcessUntil([&] { return QApplication::focusWidget() == nullptr; }));

  // Applying the model is not the person's input.
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "");
}

TEST_F(QtViewTest, DisablingTheFocusedControlKeepsTheFocusOffOtherControls) {
  Focus(kStart);
  ASSERT_EQ(QApplication::focusWidget(), view_->Widget(kStart));
  // The focus does not wander to another control: the window holds it while the control is
  // disabled, and the control has it back when enabled again.
  State(kStart).enabled = false;
  Change(State(kStart));
  EXPECT_EQ(QApplication::focusWidget(), Win());
  State(kStart).enabled = true;
  Change(State(kStart));
  EXPECT_EQ(QApplication::focusWidget(), view_->Widget(kStart));
  EXPECT_EQ(Describe(recorder_.Take()), "");

  // A click on the next control is then news to the window thread.
  State(kStart).enabled = false;
  Change(State(kStart));
  Click(Win(), CentreOf(view_->Widget(kNumber)));
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "focus{103} ");
}

TEST_F(QtViewTest, SelectAllSelectsTheWholeEditText) {
  auto* edit = W<QLineEdit>(kNumber);
  edit->setCursorPosition(1);
  std::thread([&] { view_->OnSelectAll(kNumber); }).join();
  Drain();
  EXPECT_EQ(edit->selectedText(), QStringLiteral("300"));
  EXPECT_EQ(Describe(recorder_.Take()), "");
}

TEST_F(QtViewTest, SameTextLeavesTheCursorAlone) {
  auto* edit = W<QLineEdit>(kNumber);
  edit->setCursorPosition(1);
  Change(State(kNumber));  // unchanged "300"
  State(kReadOnly).text = "12.70 V";
  Change(State(kReadOnly));
  EXPECT_TRUE(ProcessUntil([&] { return W<QLineEdit>(kReadOnly)->text() == "12.70 V"; }));
  EXPECT_EQ(edit->cursorPosition(), 1);
}

TEST_F(QtViewTest, TypingIsNotUndoneByLateEchoes) {
  Focus(kNumber);
  auto* edit = W<QLineEdit>(kNumber);
  edit->setCursorPosition(3);
  Key(Win(), Qt::Key_4, "4");
  Key(Win(), Qt::Key_5, "5");
  ASSERT_EQ(edit->text(), QStringLiteral("30045"));
  EXPECT_EQ(Describe(recorder_.Take()), "edit{103,'3004'} edit{103,'30045'} ");

  // The window thread's echo of the first edit arrives after the second keystroke.
  State(kNumber).text = "3004";
  Change(State(kNumber));
  EXPECT_EQ(edit->text(), QStringLiteral("30045"));
  State(kNumber).text = "30045";
  Change(State(kNumber));
  EXPECT_EQ(edit->text(), QStringLiteral("30045"));
  // A text of the window thread's own replaces the person's.
  State(kNumber).text = "500";
  Change(State(kNumber));
  EXPECT_EQ(edit->text(), QStringLiteral("500"));
  EXPECT_EQ(Describe(recorder_.Take()), "");
}

TEST_F(QtViewTest, TypingPostsEditTextWhereTypingIsAllowed) {
  Focus(kNumber);
  W<QLineEdit>(kNumber)->setCursorPosition(3);
  Key(Win(), Qt::Key_7, "7");
  Key(Win(), Qt::Key_X, "x");  // not a digit: refused

  Focus(kReadOnly);
  Key(Win(), Qt::Key_7, "7");

  Focus(kCombo);
  auto* combo = W<QComboBox>(kCombo);
  combo->lineEdit()->setCursorPosition(4);
  Key(Win(), Qt::Key_0, "0");
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "edit{103,'3007'} edit{106,'COM10'} ");
}

TEST_F(QtViewTest, ArrowKeyInComboPostsSelection) {
  Focus(kCombo);
  Key(Win(), Qt::Key_Down);
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "select{106,1} ");
}

// Only a pick from the list is a selection: text typed into the edit part that names an entry
// stays typed text when the person leaves the field, with the mouse or with Tab.
TEST_F(QtViewTest, TypingAnEntryIntoTheComboSelectsNothing) {
  for (const bool byTab : {false, true}) {
    SCOPED_TRACE(byTab ? "left with Tab" : "left with a click");
    Change(State(kCombo));  // "COM1" selected
    Focus(kCombo);
    auto* combo = W<QComboBox>(kCombo);
    combo->lineEdit()->selectAll();
    for (const QChar ch : QStringLiteral("COM3")) Key(Win(), ch.toUpper().unicode(), QString(ch));
    ASSERT_EQ(combo->lineEdit()->text(), QStringLiteral("COM3"));
    if (byTab) {
      Key(Win(), Qt::Key_Tab);
    } else {
      Click(Win(), CentreOf(view_->Widget(kNumber)));
    }
    Drain();
    ASSERT_NE(QApplication::focusWidget(), combo);
    const std::string events = Describe(recorder_.Take());
    EXPECT_EQ(events.find("select"), std::string::npos) << events;
    EXPECT_NE(events.find("edit{106,'COM3'}"), std::string::npos) << events;
    EXPECT_EQ(combo->currentIndex(), 0) << "the model keeps the selection";
  }
}

TEST_F(QtViewTest, PickingFromTheDroppedListPostsSelection) {
  Focus(kCombo);
  auto* combo = W<QComboBox>(kCombo);
  combo->showPopup();
  ASSERT_TRUE(ProcessUntil([&] { return combo->view()->isVisible(); }));
  QWidget* list = combo->view()->viewport();
  const QPoint at = combo->view()->visualRect(combo->model()->index(1, 0)).center();
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, QPointF(at), QPointF(list->mapToGlobal(at)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton),
                  Qt::NoModifier);
    QCoreApplication::sendEvent(list, &e);
  }
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "select{106,1} ");
}

TEST_F(QtViewTest, ClickOnToggleIsReportedAndTheModelDecides) {
  auto* toggle = W<QPushButton>(kToggle);
  Focus(kToggle);
  Click(Win(), CentreOf(toggle));
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "click{101} ");
  EXPECT_FALSE(toggle->isChecked());  // until the model says so

  State(kToggle).check = 1;
  Change(State(kToggle));
  EXPECT_TRUE(toggle->isChecked());

  // The check box behaves the same.
  auto* check = W<QCheckBox>(kCheck);
  Click(Win(), CentreOf(check));
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "focus{108} click{108} ");
  EXPECT_FALSE(check->isChecked());
}

TEST_F(QtViewTest, ClickOnPushButtonMovesFocusFirst) {
  Focus(kNumber);
  Click(Win(), CentreOf(view_->Widget(kStart)));
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "focus{102} click{102} ");

  // A disabled button takes no click.
  State(kStart).enabled = false;
  Change(State(kStart));
  Click(Win(), CentreOf(view_->Widget(kStart)));
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "");
}

TEST_F(QtViewTest, TabMovesFocusByThePersonsDoing) {
  Focus(kToggle);
  Key(Win(), Qt::Key_Tab);
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "focus{102} ");
  EXPECT_EQ(QApplication::focusWidget(), view_->Widget(kStart));
}

TEST_F(QtViewTest, EnterAndEscGoToTheWindowWhereverTheFocusIs) {
  struct Case {
    int focus;
    int key;
    const char* expected;
  };
  const Case cases[] = {
      {kStart, Qt::Key_Return, "enter{0} "},   {kStart, Qt::Key_Enter, "enter{0} "},
      {kNumber, Qt::Key_Return, "enter{0} "},  {kCombo, Qt::Key_Return, "enter{0} "},
      {kToggle, Qt::Key_Escape, "escape{0} "}, {kNumber, Qt::Key_Escape, "escape{0} "},
      {0, Qt::Key_Return, "enter{0} "},        {0, Qt::Key_Escape, "escape{0} "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.focus) + " " + std::to_string(c.key));
    Focus(c.focus);
    Key(Win(), c.key);
    Drain();
    // Never a click of a default button, nor a combo entry added.
    EXPECT_EQ(Describe(recorder_.Take()), c.expected);
  }
  EXPECT_EQ(W<QComboBox>(kCombo)->count(), 2);
}

TEST_F(QtViewTest, CloseBoxAsksTheWindowThreadAndHideEndsTheWindow) {
  EXPECT_FALSE(Win()->close());
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "close{0} ");
  EXPECT_TRUE(Win()->isVisible());

  std::thread([&] { view_->Hide(); }).join();
  EXPECT_TRUE(ProcessUntil([&] { return !Win()->isVisible(); }));
  // No input after the window has ended.
  qobject_cast<QPushButton*>(view_->Widget(kStart))->click();
  Drain();
  EXPECT_EQ(Describe(recorder_.Take()), "");
}

TEST_F(QtViewTest, DoubleClickOnTheBackgroundReachesTheWindow) {
  const QRect label = view_->Widget(kLabel)->geometry();
  const QRect group = view_->Widget(kGroup)->geometry();
  struct Case {
    const char* name;
    QPoint at;
    bool posted;
  };
  const Case cases[] = {
      {"background", QPoint(Win()->width() - 3, Win()->height() - 3), true},
      {"label", label.topLeft() + QPoint(2, 2), true},
      {"group box frame", QPoint(group.left() + 1, group.center().y()), true},
      {"push button", CentreOf(view_->Widget(kStart)), false},
      {"progress bar", CentreOf(view_->Widget(kProgress)), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DoubleClick(Win(), c.at);
    Drain();
    std::vector<InputEvent> dbl;
    for (const InputEvent& e : recorder_.Take()) {
      if (e.kind == Kind::kDoubleClick) dbl.push_back(e);
    }
    if (c.posted) {
      ASSERT_EQ(dbl.size(), 1u);
      EXPECT_EQ(dbl[0].point.x, c.at.x());
      EXPECT_EQ(dbl[0].point.y, c.at.y());
    } else {
      EXPECT_TRUE(dbl.empty());
    }
  }
}

TEST_F(QtViewTest, ModalRequestsAreAnsweredThroughTheAnswerer) {
  MessageBoxRequest seenBox;
  FileDialogRequest seenFile;
  view_->SetModalAnswerer(QtView::MessageBoxAnswerer([&](const MessageBoxRequest& r) {
    seenBox = r;
    return IDCANCEL;
  }));
  view_->SetModalAnswerer(QtView::FileDialogAnswerer([&](const FileDialogRequest& r) {
    seenFile = r;
    return std::optional<std::string>("/tmp/dump.txt");
  }));

  MessageBoxRequest box{"Erase the memory?", "Zentrova", MB_OKCANCEL | MB_ICONEXCLAMATION};
  EXPECT_EQ(OnWindowThread([&] { return view_->MessageBox(box); }), IDCANCEL);
  EXPECT_EQ(seenBox.text, "Erase the memory?");
  EXPECT_EQ(seenBox.type, MB_OKCANCEL | MB_ICONEXCLAMATION);

  FileDialogRequest file{false, "txt", "", OFN_OVERWRITEPROMPT, "Text File (*.txt)|*.txt||"};
  EXPECT_EQ(OnWindowThread([&] { return view_->FileDialog(file); }),
            std::optional<std::string>("/tmp/dump.txt"));
  EXPECT_EQ(seenFile.defaultExt, "txt");

  view_->SetModalAnswerer(
      QtView::FileDialogAnswerer([](const FileDialogRequest&) { return std::nullopt; }));
  EXPECT_EQ(OnWindowThread([&] { return view_->FileDialog(file); }), std::nullopt);
}

// Acts on the first modal dialog that comes up, from inside its own event loop.
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(QWidget*)> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!acted_ && modal && modal->isVisible()) {
        acted_ = true;
        act_(modal);
      }
    });
    timer_.start(5);
  }
  bool acted() const { return acted_; }

 private:
  QTimer timer_;
  std::function<void(QWidget*)> act_;
  bool acted_ = false;
};

TEST_F(QtViewTest, MessageBoxShowsTheRequestAndReturnsTheAnswer) {
  struct Case {
    const char* name;
    UINT type;
    const char* press;  // "ok", "cancel" or "close"
    int expected;
    bool twoButtons;
    bool cancelDefault;
    bool warning;
  };
  const Case cases[] = {
      {"ok", MB_OK, "ok", IDOK, false, false, false},
      {"ok closed", MB_OK, "close", IDOK, false, false, false},
      {"ok-cancel ok", MB_OKCANCEL | MB_ICONEXCLAMATION, "ok", IDOK, true, false, true},
      {"ok-cancel cancel", MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2, "cancel", IDCANCEL,
       true, true, true},
      {"ok-cancel closed", MB_OKCANCEL | MB_DEFBUTTON2, "close", IDCANCEL, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool checked = false;
    ModalDriver driver([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->parentWidget(), Win());
      EXPECT_EQ(box->windowTitle(), QStringLiteral("Zentrova"));
      EXPECT_EQ(box->text(), QStringLiteral("First line\nSecond line"));
      EXPECT_EQ(box->icon(), c.warning ? QMessageBox::Warning : QMessageBox::NoIcon);
      EXPECT_EQ(box->buttons().size(), c.twoButtons ? 2 : 1);
      QAbstractButton* ok = box->button(QMessageBox::Ok);
      QAbstractButton* cancel = box->button(QMessageBox::Cancel);
      ASSERT_NE(ok, nullptr);
      EXPECT_EQ(box->defaultButton(), c.cancelDefault ? cancel : ok);
      checked = true;
      if (std::string(c.press) == "ok") ok->click();
      if (std::string(c.press) == "cancel") cancel->click();
      if (std::string(c.press) == "close") box->close();
    });
    MessageBoxRequest request{"First line\r\nSecond line", "Zentrova", c.type};
    EXPECT_EQ(OnWindowThread([&] { return view_->MessageBox(request); }), c.expected);
    EXPECT_TRUE(checked);
  }
}

TEST_F(QtViewTest, FileDialogShowsTheRequestAndReturnsTheAbsolutePath) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString chosen = dir.path() + "/readings";

  ModalDriver driver([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"Text File (*.txt)", "All Files (*)"}));
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    dialog->selectFile(chosen);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept: checks and default suffix
  });
  FileDialogRequest save{false, "txt", "", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                         "Text File (*.txt)|*.txt|;All Files (*.*)|*.*||"};
  EXPECT_EQ(OnWindowThread([&] { return view_->FileDialog(save); }),
            std::optional<std::string>((chosen + ".txt").toStdString()));
  EXPECT_TRUE(driver.acted());

  ModalDriver cancel([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    dialog->reject();
  });
  FileDialogRequest open{true, "", "", 0, ""};
  EXPECT_EQ(OnWindowThread([&] { return view_->FileDialog(open); }), std::nullopt);
  EXPECT_TRUE(cancel.acted());
}

TEST_F(QtViewTest, ScreenshotLooksLikeADialog) {
  State(kToggle).check = 1;
  State(kToggle).text = "Recording";
  Change(State(kToggle));
  State(kProgress).barColor = RGB(0, 170, 60);
  Change(State(kProgress));
  const QPixmap shot = Win()->grab();
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.size(), Win()->size() * shot.devicePixelRatio());
  EXPECT_TRUE(shot.save(QStringLiteral("/tmp/zentrova-qtview-test.png")));
}

TEST(QtTextTest, LineBreaks) {
  EXPECT_EQ(QtText("a\r\nb"), QStringLiteral("a\nb"));
  EXPECT_EQ(QtText("a\r\n\r\nb\rc\n"), QStringLiteral("a\n\nb\nc\n"));
  EXPECT_EQ(QtText("Напряжение"), QStringLiteral("Напряжение"));
  EXPECT_EQ(QtText(""), QString());
}

TEST(QtFileFiltersTest, Conversions) {
  struct Case {
    std::string filter;
    QStringList expected;
  };
  const Case cases[] = {
      {"Text File (*.txt)|*.txt|;All Files (*.*)|*.*||", {"Text File (*.txt)", "All Files (*)"}},
      {"Text File (*.txt)|*.txt|All Files (*.*)|*.*||", {"Text File (*.txt)", "All Files (*)"}},
      {"Logs|*.log;*.txt||", {"Logs (*.log *.txt)"}},
      {"Data (*.csv)|*.csv", {"Data (*.csv)"}},
      {"|*.bin||", {"*.bin"}},
      {"Name only||", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QtFileFilters(c.filter), c.expected) << c.filter;
  }
}

}  // namespace
}  // namespace zfw
