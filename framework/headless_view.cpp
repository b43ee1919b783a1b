#include "framework/headless_view.h"

namespace zfw {

void HeadlessView::QueueMessageBoxAnswer(int answer) {
  std::lock_guard lock(mu_);
  boxAnswers_.push_back(answer);
}

void HeadlessView::AnswerQuestionsYes(bool yes) {
  std::lock_guard lock(mu_);
  answerYes_ = yes;
}

void HeadlessView::QueueFileDialogAnswer(std::optional<std::string> path) {
  std::lock_guard lock(mu_);
  fileAnswers_.push_back(std::move(path));
}

std::vector<MessageBoxRequest> HeadlessView::MessageBoxes() const {
  std::lock_guard lock(mu_);
  return boxes_;
}

std::vector<FileDialogRequest> HeadlessView::FileDialogs() const {
  std::lock_guard lock(mu_);
  return files_;
}

std::vector<int> HeadlessView::ChartRequests() const {
  std::lock_guard lock(mu_);
  return charts_;
}

void HeadlessView::OpenChart(int language) {
  std::lock_guard lock(mu_);
  charts_.push_back(language);
}

void HeadlessView::ClearRecords() {
  std::lock_guard lock(mu_);
  boxes_.clear();
  files_.clear();
  charts_.clear();
  selectAll_.clear();
}

std::optional<ControlState> HeadlessView::Shown(int id) const {
  std::lock_guard lock(mu_);
  auto it = shown_.find(id);
  if (it == shown_.end()) return std::nullopt;
  return it->second;
}

int HeadlessView::ShownFocus() const {
  std::lock_guard lock(mu_);
  return focus_;
}

bool HeadlessView::Visible() const {
  std::lock_guard lock(mu_);
  return visible_;
}

HICON HeadlessView::Icon() const {
  std::lock_guard lock(mu_);
  return icon_;
}

std::string HeadlessView::Title() const {
  std::lock_guard lock(mu_);
  return title_;
}

std::vector<std::string> HeadlessView::TextHistory(int id) const {
  std::lock_guard lock(mu_);
  auto it = texts_.find(id);
  return it == texts_.end() ? std::vector<std::string>{} : it->second;
}

std::vector<int> HeadlessView::SelectAllRequests() const {
  std::lock_guard lock(mu_);
  return selectAll_;
}

void HeadlessView::Input(const InputEvent& event) {
  InputSink sink;
  {
    std::lock_guard lock(mu_);
    sink = sink_;
  }
  if (sink) sink(event);
}

void HeadlessView::Show(const DialogTemplate& tmpl, const std::vector<ControlState>& controls, HICON icon,
                        InputSink sink) {
  std::lock_guard lock(mu_);
  shown_.clear();
  texts_.clear();
  for (const auto& c : controls) {
    shown_[c.id] = c;
    texts_[c.id].push_back(c.text);
  }
  visible_ = true;
  icon_ = icon;
  title_ = tmpl.title;
  sink_ = std::move(sink);
}

void HeadlessView::Hide() {
  std::lock_guard lock(mu_);
  visible_ = false;
  sink_ = nullptr;
}

int HeadlessView::MessageBox(const MessageBoxRequest& request) {
  std::lock_guard lock(mu_);
  boxes_.push_back(request);
  if (!boxAnswers_.empty()) {
    const int answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    return answer;
  }
  if ((request.type & MB_TYPEMASK) == MB_OKCANCEL && !answerYes_) {
    return (request.type & MB_DEFBUTTON2) != 0 ? IDCANCEL : IDOK;
  }
  return IDOK;
}

std::optional<std::string> HeadlessView::FileDialog(const FileDialogRequest& request) {
  std::lock_guard lock(mu_);
  files_.push_back(request);
  if (fileAnswers_.empty()) return std::nullopt;
  auto answer = fileAnswers_.front();
  fileAnswers_.pop_front();
  return answer;
}

void HeadlessView::OnControlChanged(const ControlState& state) {
  std::lock_guard lock(mu_);
  auto& history = texts_[state.id];
  if (history.empty() || history.back() != state.text) history.push_back(state.text);
  shown_[state.id] = state;
}

void HeadlessView::OnFocusChanged(int id) {
  std::lock_guard lock(mu_);
  focus_ = id;
}

void HeadlessView::OnSelectAll(int id) {
  std::lock_guard lock(mu_);
  selectAll_.push_back(id);
}

}  // namespace zfw
