// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/scripted_runtime.h"

#include <algorithm>

#include "text/cp1252.h"

namespace glimra::runtime {

namespace {

bool isField(ControlKind kind) {
  return kind == ControlKind::Entry || kind == ControlKind::Combo || kind == ControlKind::TextBox ||
         kind == ControlKind::Text || kind == ControlKind::Prompt;
}

bool isChoice(ControlKind kind) {
  return kind == ControlKind::Check || kind == ControlKind::OptionGroup || kind == ControlKind::SpinBox ||
         kind == ControlKind::Progress || kind == ControlKind::MenuItem || kind == ControlKind::DropList;
}

}  // namespace

// ---------------------------------------------------------------- window

ScriptedWindow::ScriptedWindow(ScriptedRuntime& runtime, const WindowDeclaration& declaration)
    : runtime_(runtime), declaration_(declaration), caption_(declaration.title), wallpaper_(declaration.wallpaper) {
  for (const auto& control : declaration.controls) addControl(control);
  pending_.post(Event{0, EventKind::OpenWindow});
  display();
  runtime_.windows_.push_back(this);
}

ScriptedWindow::~ScriptedWindow() {
  auto& open = runtime_.windows_;
  open.erase(std::remove(open.begin(), open.end(), this), open.end());
}

void ScriptedWindow::addControl(const ControlDeclaration& declaration) {
  Control control;
  control.declare(declaration);
  control.shown = declaration.text;
  control.range = {declaration.low, declaration.high};
  control.image = declaration.icon;
  controls_[declaration.number] = std::move(control);
  if (declaration.kind == ControlKind::Tab) {
    // The first tab of a sheet is its current one until another is chosen.
    if (Control* sheet = find(declaration.parent); sheet && sheet->choice == 0) sheet->choice = declaration.number;
  }
}

ScriptedWindow::Control* ScriptedWindow::find(int control) { return controls_.lookup(control); }

const ScriptedWindow::Control* ScriptedWindow::find(int control) const { return controls_.lookup(control); }

Event ScriptedWindow::accept() {
  if (closed_) return Event{0, EventKind::CloseWindow};
  if (pending_.empty() && onIdle) onIdle(*this);
  if (pending_.empty()) {
    scriptEnded_ = true;
    pending_.post(Event{0, EventKind::CloseWindow});
  }
  const Event event = pending_.take();
  if (event.closes()) closed_ = true;
  return event;
}

bool ScriptedWindow::keepOpen() {
  if (!closed_ || scriptEnded_) return false;
  closed_ = false;
  return true;
}

void ScriptedWindow::post(int control, EventKind kind, Key key) { pending_.post(Event{control, kind, key}); }

void ScriptedWindow::refresh(Control& control) {
  const auto& d = control.declaration;
  if (!d.use.bound()) return;
  if (isField(d.kind)) {
    control.shown = control.value.shown();
    if (d.kind == ControlKind::TextBox) showCount(control, collection::cp1252ToUtf8(control.shown));
  } else if (d.kind == ControlKind::Sheet) {
    const auto numbers = tabs(d.number);
    const long long position = d.use.number();
    if (position >= 1 && position <= static_cast<long long>(numbers.size()))
      control.choice = numbers[static_cast<std::size_t>(position - 1)];
  } else if (isChoice(d.kind)) {
    control.choice = static_cast<int>(d.use.number());
  }
}

void ScriptedWindow::showCount(const Control& box, std::string_view typedUtf8) {
  if (Control* counter = find(box.declaration.counter)) counter->shown = box.value.usedCharacters(typedUtf8);
}

void ScriptedWindow::display() {
  for (auto& [number, control] : controls_) refresh(control);
}

void ScriptedWindow::display(int first, int last) {
  controls_.forRange(first, last, [&](Control& c) { refresh(c); });
}

void ScriptedWindow::enable(int first, int last) {
  controls_.forRangeWithButtons(first, last, [](Control& c) { c.enabled = true; });
}
void ScriptedWindow::disable(int first, int last) {
  controls_.forRangeWithButtons(first, last, [](Control& c) { c.enabled = false; });
}
void ScriptedWindow::hide(int first, int last) { controls_.forRange(first, last, [](Control& c) { c.visible = false; }); }
void ScriptedWindow::show(int first, int last) { controls_.forRange(first, last, [](Control& c) { c.visible = true; }); }

void ScriptedWindow::setReadOnly(int first, int last, bool readOnly) {
  controls_.forRange(first, last, [readOnly](Control& c) {
    if (c.takesText()) c.setReadOnly(readOnly);
  });
}

void ScriptedWindow::destroy(int first, int last) {
  for (int number : controls_.destructionOrder(first, last)) destroyControl(number);
}

void ScriptedWindow::destroyControl(int number) {
  const Control* found = find(number);
  if (!found) return;
  if (found->declaration.kind == ControlKind::Tab) {
    Control* sheet = find(found->declaration.parent);
    if (sheet && sheet->choice == number) sheet->choice = controls_.tabShownAfterDestroying(number);
  }
  controls_.erase(number);
  if (focus_ == number) focus_ = 0;
}

void ScriptedWindow::create(const ControlDeclaration& control) {
  // A control made under a number in use replaces it, with what it owned.
  if (exists(control.number)) destroy(control.number);
  addControl(control);
  refresh(controls_[control.number]);
}

void ScriptedWindow::select(int control) {
  Control* c = find(control);
  if (!c) return;
  if (c->declaration.kind == ControlKind::Tab) {
    Control* sheet = find(c->declaration.parent);
    if (!sheet) return;
    sheet->choice = control;
    if (sheet->declaration.use.bound()) sheet->declaration.use.setNumber(choice(sheet->declaration.number));
    return;
  }
  if (focus_ != control) {
    focus_ = control;
    post(control, EventKind::Selected);
  }
}

void ScriptedWindow::selectRange(int control, int first, int last) {
  Control* c = find(control);
  if (!c) return;
  c->range = {first, last};
  select(control);
}

int ScriptedWindow::choice(int control) const {
  const Control* c = find(control);
  if (!c) return 0;
  if (c->declaration.kind == ControlKind::Sheet) {
    const auto numbers = tabs(control);
    const auto it = std::find(numbers.begin(), numbers.end(), c->choice);
    return it == numbers.end() ? 0 : static_cast<int>(it - numbers.begin()) + 1;
  }
  return c->choice;
}

void ScriptedWindow::setListSource(int control, std::shared_ptr<ListSource> source) {
  if (Control* c = find(control)) c->source = std::move(source);
}

void ScriptedWindow::selectRow(int control, int row) {
  if (Control* c = find(control)) {
    const int count = c->source ? c->source->count() : 0;
    c->choice = row >= 1 && row <= count ? row : 0;
  }
}

void ScriptedWindow::setText(int control, std::string_view text) {
  if (Control* c = find(control)) c->shown = text;
}

std::string ScriptedWindow::text(int control) const {
  const Control* c = find(control);
  return c ? c->shown : std::string();
}

void ScriptedWindow::setImage(int control, std::string_view image) {
  if (Control* c = find(control)) {
    c->image = image;
    c->pages = nullptr;
    c->page = 0;
  }
}

Rect ScriptedWindow::imageSize(int control) const {
  const Control* c = find(control);
  if (!c) return {};
  if (c->pages) {
    // A scripted screen of 96 dots per inch and two dots to a dialog unit.
    return Rect{0, 0, c->pages->pageWidth() * 96 / 1000 / 2, c->pages->pageHeight() * 96 / 1000 / 2};
  }
  return Rect{0, 0, c->declaration.at.width, c->declaration.at.height};
}

void ScriptedWindow::setPageImage(int control, std::shared_ptr<const PageImages> pages, int page) {
  Control* c = find(control);
  if (!c || c->declaration.kind != ControlKind::Image) return;
  c->image.clear();
  c->page = pages && page >= 1 && page <= pages->count() ? page : 0;
  c->pages = c->page ? std::move(pages) : nullptr;
}

int ScriptedWindow::shownPage(int control) const {
  const Control* c = find(control);
  return c ? c->page : 0;
}

Rect ScriptedWindow::geometry(int control) const {
  if (control == 0) return declaration_.at;
  const Control* c = find(control);
  return c ? c->declaration.at : Rect{};
}

void ScriptedWindow::setGeometry(int control, const Rect& at) {
  Control* c = find(control);
  if (!c) return;
  moveRect(c->declaration.at, at);
}

void ScriptedWindow::setImageDisplaySize(int control, int width, int height) {
  if (Control* c = find(control)) c->displaySize = Rect{0, 0, width, height};
}

Rect ScriptedWindow::imageDisplaySize(int control) const {
  const Control* c = find(control);
  return c ? c->displaySize : Rect{};
}

std::vector<Rect> ScriptedWindow::screens() const { return runtime_.screens; }

void ScriptedWindow::resizeByUser(int width, int height) {
  declaration_.at.width = width;
  declaration_.at.height = height;
  post(0, EventKind::Resized);
}

void ScriptedWindow::setRange(int control, int low, int high) {
  if (Control* c = find(control)) {
    c->declaration.low = low;
    c->declaration.high = high;
  }
}

// ------------------------------------------------------- user actions

bool ScriptedWindow::click(int control) {
  if (!controls_.usable(control)) return false;
  Control& c = *find(control);
  const auto& d = c.declaration;
  switch (d.kind) {
    case ControlKind::MenuItem:
      if (d.flags & HelpContents) { runtime_.showHelpContents(); return true; }
      if (d.flags & HelpSearch) { runtime_.showHelpSearch(); return true; }
      if (d.flags & Checkable) {
        c.choice = c.choice ? 0 : 1;
        d.use.setNumber(c.choice);
      }
      post(control, EventKind::Accepted);
      return true;
    case ControlKind::Check:
      c.choice = c.choice ? 0 : 1;
      d.use.setNumber(c.choice);
      post(control, EventKind::Accepted);
      return true;
    case ControlKind::Radio: {
      Control* group = find(d.parent);
      if (!group) return false;
      int position = 0;
      for (const auto& [number, other] : controls_) {
        if (other.declaration.kind == ControlKind::Radio && other.declaration.parent == d.parent) ++position;
        if (number == control) break;
      }
      group->choice = position;
      group->declaration.use.setNumber(position);
      post(d.parent, EventKind::Accepted);
      return true;
    }
    case ControlKind::ToolbarButton:
      post(controls_.commandOf(control), EventKind::Accepted);
      return true;
    case ControlKind::Button:
    case ControlKind::Image:
    case ControlKind::Box:
      post(control, EventKind::Accepted);
      return true;
    default:
      return false;
  }
}

std::optional<std::string> ScriptedWindow::type(int control, std::string_view utf8) {
  if (!controls_.usable(control)) return std::string("The field is not available.");
  Control& c = *find(control);
  // Typing into the field that has the focus already counts as entering it
  // once the text changes, as on the real screen.
  const bool focusedBefore = focus_ == control;
  focus(control);
  if (c.readOnly()) return std::string("The field is read-only.");
  if (focusedBefore && c.declaration.kind != ControlKind::SpinBox && collection::cp1252ToUtf8(c.shown) != utf8)
    post(control, EventKind::Selected);
  if (c.declaration.kind == ControlKind::SpinBox) {
    // A spin box takes the nearer bound of its range for a number outside it.
    long long value = 0;
    try { value = std::stoll(std::string(utf8)); } catch (...) { return std::string("Please type a whole number."); }
    value = std::clamp<long long>(value, c.declaration.low, c.declaration.high);
    const bool changed = value != c.choice;
    c.choice = static_cast<int>(value);
    c.declaration.use.setNumber(value);
    if (changed) post(control, EventKind::NewSelection);
    return std::nullopt;
  }
  // A text box stops taking text at its limit.
  const std::string taken = c.declaration.kind == ControlKind::TextBox ? c.value.fittingStart(utf8) : std::string(utf8);
  const StoreResult stored = c.value.store(
      c.declaration.kind == ControlKind::TextBox ? withStoredLineBreaks(taken) : taken);
  if (!stored.ok) return stored.reason;
  c.shown = c.value.shown();
  if (c.declaration.kind == ControlKind::TextBox) showCount(c, taken);
  if (stored.changed) post(control, EventKind::Accepted);
  return std::nullopt;
}

void ScriptedWindow::chooseTab(int tab) {
  Control* c = find(tab);
  if (!c || c->declaration.kind != ControlKind::Tab || !controls_.usable(tab)) return;
  Control* sheet = find(c->declaration.parent);
  if (!sheet || sheet->choice == tab) return;
  select(tab);
  post(sheet->declaration.number, EventKind::NewSelection);
}

void ScriptedWindow::chooseRow(int list, int row) {
  Control* c = find(list);
  if (!c || !controls_.usable(list) || !c->source || row < 1 || row > c->source->count() || row == c->choice) return;
  c->choice = row;
  if (c->declaration.kind == ControlKind::DropList) c->declaration.use.setNumber(row);
  post(list, EventKind::NewSelection);
}

void ScriptedWindow::focus(int control) {
  if (!controls_.usable(control) || focus_ == control) return;
  focus_ = control;
  post(control, EventKind::Selected);
}

void ScriptedWindow::pressKey(int control, Key key) {
  if (alertKeys_.count({control, key}))
    post(control, EventKind::AlertKey, key);
  else if (alertKeys_.count({0, key}))
    post(0, EventKind::AlertKey, key);
}

void ScriptedWindow::fireTimer() {
  if (timer_ != 0) post(0, EventKind::Timer);
}

// ------------------------------------------------------- what a user sees

std::string ScriptedWindow::shownText(int control) const { return collection::cp1252ToUtf8(text(control)); }

std::vector<int> ScriptedWindow::tabs(int sheet) const { return controls_.tabs(sheet); }

int ScriptedWindow::currentTab(int sheet) const {
  const Control* c = find(sheet);
  return c ? c->choice : 0;
}

std::vector<std::string> ScriptedWindow::rows(int list) const {
  std::vector<std::string> texts;
  const Control* c = find(list);
  if (c && c->source)
    for (int row = 1; row <= c->source->count(); ++row) texts.push_back(collection::cp1252ToUtf8(c->source->text(row)));
  return texts;
}

std::pair<int, int> ScriptedWindow::selectedRange(int control) const {
  const Control* c = find(control);
  return c ? c->range : std::pair<int, int>{0, 0};
}

std::string ScriptedWindow::statusText(int zone) const {
  auto it = status_.find(zone);
  return it == status_.end() ? std::string() : it->second;
}

// ---------------------------------------------------------------- runtime

ScriptedRuntime::ScriptedRuntime() {
  setExitPath([this](int code) {
    exitCodes.push_back(code);
    throw ProgramHalted(code);
  });
}

ScriptedRuntime::~ScriptedRuntime() = default;

std::unique_ptr<Window> ScriptedRuntime::open(const WindowDeclaration& declaration) {
  auto window = std::make_unique<ScriptedWindow>(*this, declaration);
  openedTitles.push_back(declaration.title);
  if (auto hook = whenOpened.find(declaration.title); hook != whenOpened.end()) hook->second(*window);
  return window;
}

Button ScriptedRuntime::message(const MessageBox& box) {
  messages.push_back(box);
  if (messageAnswers.empty()) return box.defaultButton;
  const Button answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedRuntime::chooseFile(const FileDialog& dialog) {
  fileDialogs.push_back(dialog);
  if (fileAnswers.empty()) return std::nullopt;
  auto answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

int ScriptedRuntime::popupMenu(std::string_view items) {
  popups.emplace_back(items);
  if (popupAnswers.empty()) return 0;
  const int answer = popupAnswers.front();
  popupAnswers.pop_front();
  return answer;
}

namespace {

class ScriptedWaitNotice final : public WaitNotice {
 public:
  ScriptedWaitNotice(ScriptedRuntime& runtime, std::size_t index) : runtime_(runtime), index_(index) {}
  ~ScriptedWaitNotice() override { runtime_.waitNotices[index_].shown = false; }
  bool cancelled() override {
    ShownWaitNotice& notice = runtime_.waitNotices[index_];
    ++notice.looks;
    if (!notice.cancelled) notice.cancelled = !runtime_.duringWait || runtime_.duringWait(notice);
    return notice.cancelled;
  }

 private:
  ScriptedRuntime& runtime_;
  std::size_t index_;  // the notices are kept by index: the record may grow meanwhile
};

}  // namespace

std::unique_ptr<WaitNotice> ScriptedRuntime::showWaitNotice(std::string_view text, std::string_view caption) {
  waitNotices.push_back(ShownWaitNotice{std::string(text), std::string(caption)});
  return std::make_unique<ScriptedWaitNotice>(*this, waitNotices.size() - 1);
}

ScriptedWindow* ScriptedRuntime::window(std::string_view title) const {
  for (auto* w : windows_)
    if (w->declaration().title == title) return w;
  return nullptr;
}

}  // namespace glimra::runtime
