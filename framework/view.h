// What a window needs from whoever shows it. A view mirrors the control model and answers
// modal requests; user input goes the other way, to the window thread, as InputEvents.
//
// Threads: every IView method is called on the window thread. A view that draws on another
// thread (the Qt view) copies what it is given and hands it over; the modal methods block the
// window thread until the person (or a test script) has answered.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/dlgtemplate.h"

namespace zfw {

// User input, produced by a view on its own thread and handled on the window thread.
struct InputEvent {
  enum class Kind {
    kClick,        // a button was clicked (the window toggles an automatic check box itself)
    kEditText,     // the person changed an edit's or a combo box's text to `text`
    kFocus,        // the keyboard focus moved to control `id` by the person's doing
    kComboSelect,  // the person picked entry `index` of combo box `id`
    kDoubleClick,  // a left double-click on the window background at `point` (client pixels)
    kEnter,        // the Enter key
    kEscape,       // the Esc key
    kClose,        // the window's close box
  };
  Kind kind = Kind::kClick;
  int id = 0;
  std::string text;
  int index = -1;
  CPoint point;
};

// Receives input; thread-safe (it queues the event for the window thread).
using InputSink = std::function<void(const InputEvent&)>;

struct MessageBoxRequest {
  std::string text;  // UTF-8, "\r\n" for a line break
  std::string caption;
  UINT type = MB_OK;  // MB_OK or MB_OKCANCEL, an icon, and MB_DEFBUTTON2 for Cancel as default
};

struct FileDialogRequest {
  bool open = false;           // false: a save dialog
  std::string defaultExt;      // without the dot, e.g. "txt"
  std::string fileName;        // initial name, may be empty
  DWORD flags = 0;             // OFN_ bits
  std::string filter;          // "Name|*.ext|Name|*.*||"
};

class IView : public IControlObserver {
 public:
  // Shows the window described by tmpl with the controls as they are now. sink takes the
  // person's input from now on.
  virtual void Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls,
                    HICON icon, InputSink sink) = 0;
  // The window has ended; the view takes it off the screen and sends no more input.
  virtual void Hide() = 0;
  // Blocks until answered; returns IDOK or IDCANCEL.
  virtual int MessageBox(const MessageBoxRequest& request) = 0;
  // Blocks until answered; the chosen full path, or nothing when cancelled.
  virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
  // The person asked for the chart of the live readings, its captions in language (0 Russian,
  // 1 English): the view opens it, or brings it to the front when it is open. Returns at once;
  // a view that has no chart ignores the request.
  virtual void OpenChart(int /*language*/) {}
};

}  // namespace zfw
