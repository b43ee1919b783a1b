// The Qt view of a dialog window: draws the control model on the GUI thread and turns the
// person's input into InputEvents for the window thread.
//
// Threads: construct and destroy a QtView on the GUI thread, after the QApplication. The
// IView and IControlObserver methods may be called from any thread (normally the window
// thread); they copy their arguments and hand them to the GUI thread in call order. The two
// modal methods block their caller until the GUI thread has an answer; called on the GUI
// thread itself, they run there directly. The inspection methods below are GUI thread only.
#pragma once

#include <QIcon>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/view.h"

class QObject;
class QWidget;

namespace zfw {

namespace qtview_detail {
class Host;
}

class QtView : public IView {
 public:
  // icons: the window icons by resource id, for Show's icon argument.
  explicit QtView(std::map<HICON, QIcon> icons = {});
  ~QtView() override;
  QtView(const QtView&) = delete;
  QtView& operator=(const QtView&) = delete;

  // IView.
  void Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls, HICON icon,
            InputSink sink) override;
  void Hide() override;
  int MessageBox(const MessageBoxRequest& request) override;
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  // Runs the chart opener on the GUI thread; without one the request is dropped.
  void OpenChart(int language) override;

  // IControlObserver.
  void OnControlChanged(const ControlState& state) override;
  void OnFocusChanged(int id) override;
  void OnSelectAll(int id) override;

  // Answers modal requests without showing a dialog (tests, scripted runs). The answerer runs
  // on the GUI thread in place of the dialog; an empty function brings the dialog back.
  // May be called from any thread.
  using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;
  using FileDialogAnswerer = std::function<std::optional<std::string>(const FileDialogRequest&)>;
  void SetModalAnswerer(MessageBoxAnswerer answerer);
  void SetModalAnswerer(FileDialogAnswerer answerer);

  // What opens (or raises) the chart when the window asks for it; it runs on the GUI thread.
  // The front end that draws charts sets it before the window is shown. Any thread.
  using ChartOpener = std::function<void(int language)>;
  void SetChartOpener(ChartOpener opener);
  // Queues fn to run on the GUI thread after every call handed to this view before it, so
  // that a front end's news of the window arrives in step with what the window shows.
  // Any thread; a call still queued when the view goes away is dropped.
  void PostToGui(std::function<void()> fn);

  // GUI thread only. The top-level window built by the last Show (nullptr before the GUI
  // thread has handled a Show); it stays after Hide, hidden, until the next Show.
  QWidget* Window() const;
  // The widget of control id, nullptr when there is none.
  QWidget* Widget(int id) const;
  // The dialog font's base units in pixels (average character width, height); (0, 0)
  // before a Show has been handled.
  QSize BaseUnits() const;
  // A rectangle in dialog units converted to pixels with BaseUnits().
  QRect MapDialogRect(const CRect& dlu) const;

 private:
  template <typename Fn>
  void Post(Fn&& fn);
  template <typename Result, typename Run>
  Result Ask(Run run, Result refused);

  qtview_detail::Host* host_;  // lives on the GUI thread, owned here
};

}  // namespace zfw
