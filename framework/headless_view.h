// A view with no screen, for tests and command-line front ends: it keeps a copy of what it
// was shown, records every modal request, and answers from a script.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/view.h"

namespace zfw {

class HeadlessView final : public IView {
 public:
  // Answers for the next message boxes, in order. With none queued, a box is answered with
  // its default button (Cancel for MB_DEFBUTTON2 on OK/Cancel, else OK).
  void QueueMessageBoxAnswer(int answer);
  // Answers for the next file dialogs, in order: a path, or nothing for Cancel. With none
  // queued, a file dialog is cancelled.
  void QueueFileDialogAnswer(std::optional<std::string> path);
  // With yes set, an OK/Cancel box with no answer queued is answered OK instead of with its
  // default button: "yes to every question" for a command-line front end.
  void AnswerQuestionsYes(bool yes);

  std::vector<MessageBoxRequest> MessageBoxes() const;
  std::vector<FileDialogRequest> FileDialogs() const;
  // The language of every chart the window asked for, in order.
  std::vector<int> ChartRequests() const;
  void ClearRecords();

  // What the view was last told about a control, and where the focus is.
  std::optional<ControlState> Shown(int id) const;
  int ShownFocus() const;
  bool Visible() const;
  HICON Icon() const;
  std::string Title() const;
  // The person's input, sent through the sink the window gave in Show().
  void Input(const InputEvent& event);

  void Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls, HICON icon,
            InputSink sink) override;
  void Hide() override;
  int MessageBox(const MessageBoxRequest& request) override;
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  void OpenChart(int language) override;
  void OnControlChanged(const ControlState& state) override;
  void OnFocusChanged(int id) override;
  void OnSelectAll(int id) override;

  std::vector<int> SelectAllRequests() const;
  // Every text the view was shown for a control, in order, the first one included.
  std::vector<std::string> TextHistory(int id) const;

 private:
  mutable std::mutex mu_;
  std::deque<int> boxAnswers_;
  bool answerYes_ = false;
  std::deque<std::optional<std::string>> fileAnswers_;
  std::vector<MessageBoxRequest> boxes_;
  std::vector<FileDialogRequest> files_;
  std::vector<int> charts_;
  std::map<int, ControlState> shown_;
  std::vector<int> selectAll_;
  std::map<int, std::vector<std::string>> texts_;
  int focus_ = 0;
  bool visible_ = false;
  HICON icon_ = 0;
  std::string title_;
  InputSink sink_;
};

}  // namespace zfw
