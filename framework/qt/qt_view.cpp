#include "framework/qt/qt_view.h"

#include "framework/qt/gui_calls.h"
#include "framework/qt/qt_modal.h"
#include "framework/qt/qt_widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <utility>

namespace zfw {

namespace {

namespace st = zfw::style;

enum class Kind { kLabel, kGroupBox, kPushButton, kToggle, kCheckBox, kEdit, kCombo, kProgress };

Kind KindOf(const DialogItem& item) {
  switch (item.cls) {
    case ControlClass::kStatic:
      return Kind::kLabel;
    case ControlClass::kEdit:
      return Kind::kEdit;
    case ControlClass::kComboBox:
      return Kind::kCombo;
    case ControlClass::kProgress:
      return Kind::kProgress;
    case ControlClass::kButton:
      break;
  }
  if (zfw::IsGroupBox(item)) return Kind::kGroupBox;
  if (zfw::IsAutoCheck(item))
    return (item.style & st::BS_PUSHLIKE) ? Kind::kToggle : Kind::kCheckBox;
  return Kind::kPushButton;
}

// Rounds half away from zero, as dialog-unit conversion does.
int MulDivRound(int value, int num, int den) {
  const long long p = static_cast<long long>(value) * num;
  return static_cast<int>(p >= 0 ? (p + den / 2) / den : -((-p + den / 2) / den));
}

}  // namespace

namespace qtview_detail {

class Host;

class DialogWindow : public QWidget {
 public:
  explicit DialogWindow(Host* host) : host_(host) {}
  void CloseForGood() {
    closing_ = true;
    close();
  }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  Host* host_;
  bool closing_ = false;
};

struct Control {
  DialogItem item;
  Kind kind = Kind::kLabel;
  QWidget* widget = nullptr;      // child of the window
  QLineEdit* lineEdit = nullptr;  // edits and combo boxes
  ControlState shown;             // the state last applied
  bool hasShown = false;
  // Texts this view reported as typed and the model has not echoed yet, oldest first.
  std::deque<QString> pendingTexts;
};

class Host : public QObject {
 public:
  explicit Host(std::map<HICON, QIcon> icons) : icons_(std::move(icons)) {
    qApp->installEventFilter(this);
  }
  ~Host() override {
    qApp->removeEventFilter(this);
    DestroyWindow();
  }

  std::atomic<bool> hidden{false};
  GuiCalls calls;  // the way in for every other thread

  void Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls, HICON icon,
            InputSink sink);
  void Hide();
  void ControlChanged(const ControlState& state);
  void FocusChanged(int id);
  void SelectAll(int id);
  int RunMessageBox(const MessageBoxRequest& request);
  std::optional<std::string> RunFileDialog(const FileDialogRequest& request);

  void SetChartOpener(QtView::ChartOpener opener) {
    std::lock_guard lock(answerMutex_);
    chartOpener_ = std::move(opener);
  }
  void OpenChart(int language) {
    QtView::ChartOpener opener;
    {
      std::lock_guard lock(answerMutex_);
      opener = chartOpener_;
    }
    if (opener) opener(language);
  }

  void SetAnswerer(QtView::MessageBoxAnswerer a) {
    std::lock_guard lock(answerMutex_);
    messageBoxAnswerer_ = std::move(a);
  }
  void SetAnswerer(QtView::FileDialogAnswerer a) {
    std::lock_guard lock(answerMutex_);
    fileDialogAnswerer_ = std::move(a);
  }

  void PostInput(const InputEvent& e) {
    if (hidden.load() || !sink_ || !window_) return;
    sink_(e);
  }

  QWidget* Window() const { return window_; }
  QWidget* Widget(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.widget;
  }
  QSize BaseUnits() const { return base_; }
  QRect MapDialogRect(const CRect& r) const {
    return QRect(MulDivRound(r.x, base_.width(), 4), MulDivRound(r.y, base_.height(), 8),
                 MulDivRound(r.cx, base_.width(), 4), MulDivRound(r.cy, base_.height(), 8));
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DestroyWindow();
  QFont DialogFont(const DialogTemplate& tmpl) const;
  void Build(Control& c);
  void Apply(Control& c, const ControlState& s);
  void ApplyText(Control& c, const QString& text);
  void ApplyFocus(int id);
  int ControlOf(QWidget* w) const;
  void TextEdited(Control& c, const QString& text);

  std::map<HICON, QIcon> icons_;
  QPointer<DialogWindow> window_;
  QSize base_{0, 0};
  std::map<int, Control> controls_;
  QHash<QWidget*, int> widgetIds_;
  InputSink sink_;
  int focus_ = 0;     // the model's focus as last told or reported
  int applying_ = 0;  // > 0 while the model is being applied: no input comes of it
  std::mutex answerMutex_;
  QtView::MessageBoxAnswerer messageBoxAnswerer_;
  QtView::FileDialogAnswerer fileDialogAnswerer_;
  QtView::ChartOpener chartOpener_;  // under answerMutex_ too
};

void DialogWindow::closeEvent(QCloseEvent* e) {
  if (closing_) {
    e->accept();
    return;
  }
  // The window thread decides whether the window ends; it calls Hide when it does.
  e->ignore();
  InputEvent in;
  in.kind = InputEvent::Kind::kClose;
  host_->PostInput(in);
}

void DialogWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QWidget::mouseDoubleClickEvent(e);
    return;
  }
  const QPoint p = e->position().toPoint();
  InputEvent in;
  in.kind = InputEvent::Kind::kDoubleClick;
  in.point = CPoint{p.x(), p.y()};
  host_->PostInput(in);
  e->accept();
}

void Host::DestroyWindow() {
  controls_.clear();
  widgetIds_.clear();
  delete window_.data();
  window_ = nullptr;
}

QFont Host::DialogFont(const DialogTemplate& tmpl) const {
  QFont font = QApplication::font();
  const QString family = QString::fromStdString(tmpl.fontName);
  if (!family.isEmpty() && QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
    font.setFamily(family);
  }
  if (tmpl.fontPoints > 0) font.setPointSize(tmpl.fontPoints);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(tmpl.fontWeight, 100, 900)));
  return font;
}

void Host::Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls, HICON icon,
                InputSink sink) {
  DestroyWindow();
  sink_ = std::move(sink);
  ++applying_;

  auto* w = new DialogWindow(this);
  window_ = w;
  w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                    Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint);
  w->setWindowTitle(QString::fromStdString(tmpl.title));
  if (auto it = icons_.find(icon); it != icons_.end()) w->setWindowIcon(it->second);

  const QFont font = DialogFont(tmpl);
  w->setFont(font);
  const QFontMetrics fm(font);
  const int avg =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_ = QSize((avg + 26) / 52, fm.height());

  const QRect client = MapDialogRect(CRect{0, 0, tmpl.cx, tmpl.cy});
  w->setFixedSize(client.size());

  QWidget* prevTab = nullptr;
  for (const DialogItem& item : tmpl.items) {
    Control& c = controls_[item.id];
    c.item = item;
    c.kind = KindOf(item);
    Build(c);
    widgetIds_.insert(c.widget, item.id);
    if (c.widget->focusPolicy() & Qt::TabFocus) {
      if (prevTab) QWidget::setTabOrder(prevTab, c.widget);
      prevTab = c.widget;
    }
  }
  for (const ControlState& s : controls) {
    if (auto it = controls_.find(s.id); it != controls_.end()) Apply(it->second, s);
  }

  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QPoint centre = screen->availableGeometry().center();
    w->move(centre - QPoint(client.width() / 2, client.height() / 2));
  }
  hidden.store(false);
  w->show();
  w->raise();
  w->activateWindow();
  if (focus_ != 0) ApplyFocus(focus_);
  --applying_;
}

void Host::Build(Control& c) {
  QWidget* parent = window_;
  const DialogItem& item = c.item;
  const uint32_t s = item.style;
  const bool tabStop = (s & st::WS_TABSTOP) != 0;
  const int id = item.id;
  QWidget* widget = nullptr;

  switch (c.kind) {
    case Kind::kLabel: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(false);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setAttribute(Qt::WA_TransparentForMouseEvents);
      label->setFocusPolicy(Qt::NoFocus);
      widget = label;
      break;
    }
    case Kind::kGroupBox: {
      auto* box = new QGroupBox(parent);
      box->setAlignment((s & st::BS_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft);
      box->setAttribute(Qt::WA_TransparentForMouseEvents);
      box->setFocusPolicy(Qt::NoFocus);
      widget = box;
      break;
    }
    case Kind::kPushButton:
    case Kind::kToggle:
    case Kind::kCheckBox: {
      QAbstractButton* button = nullptr;
      if (c.kind == Kind::kCheckBox) {
        button = new ModelCheckBox(parent);
        button->setCheckable(true);
      } else {
        QPushButton* push =
            c.kind == Kind::kToggle ? new ModelToggle(parent) : new QPushButton(parent);
        // Enter belongs to the window thread, never to a default button.
        push->setAutoDefault(false);
        push->setDefault(false);
        push->setCheckable(c.kind == Kind::kToggle);
        button = push;
      }
      QObject::connect(button, &QAbstractButton::clicked, this, [this, id] {
        InputEvent in;
        in.kind = InputEvent::Kind::kClick;
        in.id = id;
        PostInput(in);
      });
      widget = button;
      break;
    }
    case Kind::kEdit: {
      auto* edit = new QLineEdit(parent);
      edit->setReadOnly((s & st::ES_READONLY) != 0);
      edit->setFrame((s & st::WS_BORDER) != 0);
      Qt::Alignment align = Qt::AlignLeft;
      if (s & st::ES_RIGHT) align = Qt::AlignRight;
      if (s & st::ES_CENTER) align = Qt::AlignHCenter;
      edit->setAlignment(align | Qt::AlignVCenter);
      if (s & st::ES_NUMBER) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      }
      c.lineEdit = edit;
      widget = edit;
      break;
    }
    case Kind::kCombo: {
      auto* combo = new QComboBox(parent);
      if (s & st::CBS_DROPDOWN) {
        // The window thread keeps the list: Enter adds nothing, and nothing is completed
        // behind the person's back.
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        c.lineEdit = combo->lineEdit();
        // Qt picks the entry that the edit part's text names when the person leaves it, and
        // reports that as activated; only a pick from the list is a selection, so the combo
        // box is not told that editing ended.
        QObject::disconnect(c.lineEdit, SIGNAL(editingFinished()), combo, nullptr);
      }
      QObject::connect(combo, &QComboBox::activated, this, [this, id](int index) {
        if (applying_) return;
        InputEvent in;
        in.kind = InputEvent::Kind::kComboSelect;
        in.id = id;
        in.index = index;
        PostInput(in);
      });
      widget = combo;
      break;
    }
    case Kind::kProgress: {
      auto* bar = new SolidProgressBar(parent);
      bar->setTextVisible(false);
      bar->setFocusPolicy(Qt::NoFocus);
      widget = bar;
      break;
    }
  }

  if (c.kind != Kind::kLabel && c.kind != Kind::kGroupBox && c.kind != Kind::kProgress) {
    // A click gives any of these the focus, as the native controls take it; only tab stops
    // are reached with Tab.
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  }
  if (c.lineEdit) {
    QObject::connect(c.lineEdit, &QLineEdit::textEdited, this, [this, id](const QString& text) {
      auto it = controls_.find(id);
      if (it != controls_.end()) TextEdited(it->second, text);
    });
  }

  QRect r = MapDialogRect(item.rect);
  if (c.kind == Kind::kCombo) {
    // The template's height is the dropped-down list's; the box itself keeps its own height.
    auto* combo = static_cast<QComboBox*>(widget);
    const int boxHeight = combo->sizeHint().height();
    const int lineHeight = std::max(1, QFontMetrics(window_->font()).height());
    combo->setMaxVisibleItems(std::max(1, (r.height() - boxHeight) / lineHeight));
    r.setHeight(boxHeight);
  }
  widget->setGeometry(r);
  widget->setVisible((s & st::WS_VISIBLE) != 0);
  c.widget = widget;
}

void Host::TextEdited(Control& c, const QString& text) {
  if (applying_) return;
  constexpr size_t kMaxPending = 64;
  c.pendingTexts.push_back(text);
  if (c.pendingTexts.size() > kMaxPending) c.pendingTexts.pop_front();
  InputEvent in;
  in.kind = InputEvent::Kind::kEditText;
  in.id = c.item.id;
  in.text = text.toStdString();
  PostInput(in);
}

// Applies a model text to an edit or a combo box's edit field without undoing typing that is
// still on its way to the window thread: an echo of a text this view reported is skipped
// while newer typed texts are pending; any other text is the window thread's own and wins.
void Host::ApplyText(Control& c, const QString& text) {
  QLineEdit* edit = c.lineEdit;
  auto& pending = c.pendingTexts;
  auto it = std::find(pending.begin(), pending.end(), text);
  bool apply = true;
  if (it != pending.end()) {
    pending.erase(pending.begin(), it + 1);
    apply = pending.empty();
  } else {
    pending.clear();
  }
  if (apply && edit->text() != text) {
    const QSignalBlocker block(edit);
    edit->setText(text);
  }
}

void Host::Apply(Control& c, const ControlState& s) {
  ++applying_;
  QWidget* w = c.widget;
  const QSignalBlocker block(w);
  if (w->isEnabled() != s.enabled) {
    QWidget* focused = window_->focusWidget();
    const bool hasFocus = focused && (focused == w || w->isAncestorOf(focused));
    if (!s.enabled && hasFocus) {
      // A native control keeps the focus while disabled; Qt would hand it to the next control
      // without the person doing anything. Park it on the window instead.
      window_->setFocus(Qt::OtherFocusReason);
    }
    w->setEnabled(s.enabled);
    if (s.enabled && c.item.id == focus_ && (!focused || focused == window_)) {
      w->setFocus(Qt::OtherFocusReason);
    }
  }
  const QString text = QtText(s.text);

  switch (c.kind) {
    case Kind::kLabel: {
      auto* label = static_cast<QLabel*>(w);
      if (label->text() != text) label->setText(text);
      break;
    }
    case Kind::kGroupBox: {
      auto* box = static_cast<QGroupBox*>(w);
      if (box->title() != text) box->setTitle(text);
      break;
    }
    case Kind::kPushButton: {
      auto* button = static_cast<QAbstractButton*>(w);
      if (button->text() != text) button->setText(text);
      break;
    }
    case Kind::kToggle: {
      auto* button = static_cast<QAbstractButton*>(w);
      if (button->text() != text) button->setText(text);
      button->setChecked(s.check != 0);
      break;
    }
    case Kind::kCheckBox:
      static_cast<QAbstractButton*>(w)->setChecked(s.check != 0);
      break;
    case Kind::kEdit:
      ApplyText(c, QString::fromStdString(s.text));
      break;
    case Kind::kCombo: {
      auto* combo = static_cast<QComboBox*>(w);
      QLineEdit* edit = c.lineEdit;  // nullptr for a list without an edit field
      const QSignalBlocker blockEdit(edit);
      const QString typed = edit ? edit->text() : QString();
      const int cursor = edit ? edit->cursorPosition() : 0;
      QStringList items;
      items.reserve(static_cast<qsizetype>(s.items.size()));
      for (const std::string& item : s.items) items.push_back(QString::fromStdString(item));
      bool same = combo->count() == items.size();
      for (int i = 0; same && i < combo->count(); ++i) same = combo->itemText(i) == items[i];
      if (!same) {
        combo->clear();
        combo->addItems(items);
      }
      const int sel = (s.curSel >= 0 && s.curSel < combo->count()) ? s.curSel : -1;
      if (combo->currentIndex() != sel) combo->setCurrentIndex(sel);
      // Changing the list or the selection rewrites the edit field; put the field back as it
      // was, then let the model's text decide.
      if (edit) {
        if (edit->text() != typed) {
          edit->setText(typed);
          edit->setCursorPosition(cursor);
        }
        ApplyText(c, QString::fromStdString(s.text));
      }
      break;
    }
    case Kind::kProgress: {
      auto* bar = static_cast<QProgressBar*>(w);
      const int low = std::min(s.rangeLow, s.rangeHigh);
      const int high = std::max(s.rangeLow, s.rangeHigh);
      if (low == high) {
        // An empty range shows an empty bar, not Qt's busy indicator.
        bar->setRange(0, 1);
        bar->setValue(0);
      } else {
        bar->setRange(low, high);
        bar->setValue(std::clamp(s.pos, low, high));
      }
      if (!c.hasShown || c.shown.barColor != s.barColor) {
        if (s.barColor == CLR_DEFAULT) {
          bar->setPalette(QPalette());
        } else {
          QPalette pal = bar->palette();
          pal.setColor(QPalette::Highlight, FromColorRef(s.barColor));
          bar->setPalette(pal);
        }
      }
      break;
    }
  }
  c.shown = s;
  c.hasShown = true;
  --applying_;
}

void Host::ControlChanged(const ControlState& state) {
  if (auto it = controls_.find(state.id); it != controls_.end()) Apply(it->second, state);
}

void Host::ApplyFocus(int id) {
  if (!window_) return;
  ++applying_;
  if (id == 0) {
    if (QWidget* f = window_->focusWidget()) f->clearFocus();
  } else if (QWidget* w = Widget(id)) {
    // A disabled control cannot hold Qt's focus; the window holds it for the control.
    if (w->isEnabled()) {
      w->setFocus(Qt::OtherFocusReason);
    } else {
      window_->setFocus(Qt::OtherFocusReason);
    }
  }
  --applying_;
}

void Host::FocusChanged(int id) {
  focus_ = id;
  ApplyFocus(id);
}

void Host::SelectAll(int id) {
  auto it = controls_.find(id);
  if (it == controls_.end() || !it->second.lineEdit) return;
  ++applying_;
  const QSignalBlocker block(it->second.lineEdit);
  it->second.lineEdit->selectAll();
  --applying_;
}

void Host::Hide() {
  hidden.store(true);
  if (window_) window_->CloseForGood();
}

int Host::ControlOf(QWidget* w) const {
  for (; w && w != window_; w = w->parentWidget()) {
    if (auto it = widgetIds_.find(w); it != widgetIds_.end()) return it.value();
  }
  return 0;
}

bool Host::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type != QEvent::KeyPress && type != QEvent::FocusIn) || !window_ ||
      !watched->isWidgetType()) {
    return false;
  }
  auto* w = static_cast<QWidget*>(watched);
  if (w->window() != window_) return false;

  if (type == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    InputEvent in;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      in.kind = InputEvent::Kind::kEnter;
    } else if (key == Qt::Key_Escape) {
      in.kind = InputEvent::Kind::kEscape;
    } else {
      return false;
    }
    PostInput(in);
    return true;
  }

  // FocusIn: only the person's moves are news to the window thread; the ones this view makes
  // while applying the model (or that Qt makes on its own) are not.
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  if (applying_ || reason == Qt::OtherFocusReason) return false;
  const int id = ControlOf(w);
  if (id != 0 && id != focus_) {
    focus_ = id;
    InputEvent in;
    in.kind = InputEvent::Kind::kFocus;
    in.id = id;
    PostInput(in);
  }
  return false;
}

int Host::RunMessageBox(const MessageBoxRequest& request) {
  {
    std::unique_lock lock(answerMutex_);
    if (messageBoxAnswerer_) {
      auto answerer = messageBoxAnswerer_;
      lock.unlock();
      return answerer(request);
    }
  }
  return ShowMessageBox(window_, request);
}

std::optional<std::string> Host::RunFileDialog(const FileDialogRequest& request) {
  {
    std::unique_lock lock(answerMutex_);
    if (fileDialogAnswerer_) {
      auto answerer = fileDialogAnswerer_;
      lock.unlock();
      return answerer(request);
    }
  }
  return ShowFileDialog(window_, request);
}

}  // namespace qtview_detail

// ---------------------------------------------------------------------------------------

QtView::QtView(std::map<HICON, QIcon> icons) : host_(new qtview_detail::Host(std::move(icons))) {}

QtView::~QtView() { delete host_; }

template <typename Fn>
void QtView::Post(Fn&& fn) {
  host_->calls.Post(std::forward<Fn>(fn));
}

void QtView::Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls, HICON icon,
                  InputSink sink) {
  Post([host = host_, tmpl, controls, icon, sink = std::move(sink)]() mutable {
    host->Show(tmpl, controls, icon, std::move(sink));
  });
}

void QtView::Hide() {
  // Input stops at once; the window goes when the GUI thread gets to it.
  host_->hidden.store(true);
  Post([host = host_] { host->Hide(); });
}

void QtView::OnControlChanged(const ControlState& state) {
  Post([host = host_, state] { host->ControlChanged(state); });
}

void QtView::OnFocusChanged(int id) {
  Post([host = host_, id] { host->FocusChanged(id); });
}

void QtView::OnSelectAll(int id) {
  Post([host = host_, id] { host->SelectAll(id); });
}

// Blocks until the GUI thread has answered. The answer comes back through a promise; a
// request that the GUI thread drops unanswered (the view going away) is refused.
template <typename Result, typename Run>
Result QtView::Ask(Run run, Result refused) {
  if (QThread::currentThread() == host_->thread()) return run(host_);
  auto promise = std::make_shared<std::promise<Result>>();
  std::future<Result> answer = promise->get_future();
  Post([host = host_, run, promise] { promise->set_value(run(host)); });
  try {
    return answer.get();
  } catch (const std::future_error&) {
    return refused;
  }
}

int QtView::MessageBox(const MessageBoxRequest& request) {
  return Ask<int>([request](qtview_detail::Host* host) { return host->RunMessageBox(request); },
                  IDCANCEL);
}

std::optional<std::string> QtView::FileDialog(const FileDialogRequest& request) {
  return Ask<std::optional<std::string>>(
      [request](qtview_detail::Host* host) { return host->RunFileDialog(request); }, std::nullopt);
}

void QtView::SetModalAnswerer(MessageBoxAnswerer answerer) {
  host_->SetAnswerer(std::move(answerer));
}
void QtView::SetModalAnswerer(FileDialogAnswerer answerer) {
  host_->SetAnswerer(std::move(answerer));
}

void QtView::OpenChart(int language) {
  Post([host = host_, language] { host->OpenChart(language); });
}

void QtView::SetChartOpener(ChartOpener opener) { host_->SetChartOpener(std::move(opener)); }

void QtView::PostToGui(std::function<void()> fn) { Post(std::move(fn)); }

QWidget* QtView::Window() const { return host_->Window(); }
QWidget* QtView::Widget(int id) const { return host_->Widget(id); }
QSize QtView::BaseUnits() const { return host_->BaseUnits(); }
QRect QtView::MapDialogRect(const CRect& dlu) const { return host_->MapDialogRect(dlu); }

}  // namespace zfw
