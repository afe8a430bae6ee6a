// SPDX-License-Identifier: GPL-3.0-or-later
// The window model: what every implementation of Window keeps and decides
// alike, written once. The scripted window is this model and nothing more;
// the Qt window mirrors it into widgets.
//
// - ControlState: a control's declaration, its field value (the bound
//   variable through its picture), and whether it is enabled and visible.
// - ControlTable: the controls by number, with the rules both windows follow:
//   which numbers a range names, which controls go with a destroyed one (the
//   tabs of a sheet, the items of a menu, the buttons of an option group,
//   children before their parent), the order of a sheet's tabs (by number),
//   and the tab a sheet shows after its current tab is destroyed: the nearest
//   usable tab to its right, else to its left (the native toolkit's rule),
//   and a toolbar button that is one command with its menu item.
// - EventQueue: the events waiting for accept(), in order of arrival; a timer
//   or resize event already waiting stands for a new one.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <type_traits>
#include <vector>

#include "runtime/declaration.h"
#include "runtime/event.h"
#include "runtime/field_value.h"

namespace glimra::runtime {

struct ControlState {
  ControlDeclaration declaration;
  FieldValue value;
  bool enabled = true;
  bool visible = true;

  // Takes a declaration: its value through its picture, its initial state.
  void declare(const ControlDeclaration& d) {
    declaration = d;
    value = FieldValue(d.use, d.picture);
    enabled = !(d.flags & Disabled);
    visible = !(d.flags & Hidden);
  }
  // Only fields take text: for them the ReadOnly flag changes at run time.
  bool takesText() const {
    const ControlKind kind = declaration.kind;
    return kind == ControlKind::Entry || kind == ControlKind::Combo || kind == ControlKind::TextBox;
  }
  bool readOnly() const { return (declaration.flags & ReadOnly) != 0; }
  void setReadOnly(bool on) {
    if (on)
      declaration.flags |= ReadOnly;
    else
      declaration.flags &= ~static_cast<unsigned>(ReadOnly);
  }
};

// Moves or resizes `to` as setGeometry() does: -1 in a field of `at` keeps
// that value.
inline void moveRect(Rect& to, const Rect& at) {
  if (at.x >= 0) to.x = at.x;
  if (at.y >= 0) to.y = at.y;
  if (at.width >= 0) to.width = at.width;
  if (at.height >= 0) to.height = at.height;
}

// The kinds of control that belong to their parent and are destroyed with it.
inline bool ownedByParent(ControlKind kind) {
  return kind == ControlKind::Tab || kind == ControlKind::MenuItem || kind == ControlKind::Separator ||
         kind == ControlKind::Menu || kind == ControlKind::Radio;
}

// The controls of one window by number. `Control` is the implementation's
// record of a control, a ControlState with what the implementation adds.
template <class Control>
class ControlTable : public std::map<int, Control> {
  static_assert(std::is_base_of_v<ControlState, Control>, "a control record is a ControlState");

 public:
  // The control with that number, or null.
  Control* lookup(int number) {
    auto it = this->find(number);
    return it == this->end() ? nullptr : &it->second;
  }
  const Control* lookup(int number) const {
    auto it = this->find(number);
    return it == this->end() ? nullptr : &it->second;
  }

  // Calls f on every control numbered first..last, in order of number.
  template <class F>
  void forRange(int first, int last, F&& f) {
    for (auto it = this->lower_bound(first); it != this->end() && it->first <= last; ++it) f(it->second);
  }

  // forRange, and also every toolbar button whose command is a control of
  // the range: what enable() and disable() change.
  template <class F>
  void forRangeWithButtons(int first, int last, F&& f) {
    forRange(first, last, f);
    for (auto& [number, c] : *this) {
      const int command = c.declaration.command;
      if (command != 0 && command >= first && command <= last && (number < first || number > last)) f(c);
    }
  }
  // The control whose Accepted event pressing `number` raises: a toolbar
  // button's menu item, else the control itself.
  int commandOf(int number) const {
    const Control* c = lookup(number);
    return c && c->declaration.command != 0 ? c->declaration.command : number;
  }

  bool isEnabled(int number) const {
    const Control* c = lookup(number);
    return c && c->enabled;
  }
  bool isVisible(int number) const {
    const Control* c = lookup(number);
    return c && c->visible;
  }
  bool isReadOnly(int number) const {
    const Control* c = lookup(number);
    return c && c->readOnly();
  }
  // Exists, and it and every parent are enabled and visible: the user can
  // reach it.
  bool usable(int number) const {
    const Control* c = lookup(number);
    if (!c) return false;
    for (; c; c = c->declaration.parent ? lookup(c->declaration.parent) : nullptr)
      if (!c->enabled || !c->visible) return false;
    return true;
  }

  // The numbers of a sheet's tabs, in the order they stand.
  std::vector<int> tabs(int sheet) const {
    std::vector<int> numbers;
    for (const auto& [number, c] : *this)
      if (c.declaration.kind == ControlKind::Tab && c.declaration.parent == sheet) numbers.push_back(number);
    return numbers;
  }
  // Where tab `tab` of `sheet` stands (0-based): the number of its sheet's
  // tabs numbered below it, whether or not it exists yet.
  int tabIndex(int sheet, int tab) const {
    int index = 0;
    for (int number : tabs(sheet))
      if (number < tab) ++index;
    return index;
  }
  // The tab a sheet shows once its current tab `tab` is destroyed: the
  // nearest enabled and visible tab to its right, else to its left; 0 when
  // none is left.
  int tabShownAfterDestroying(int tab) const {
    const Control* c = lookup(tab);
    if (!c) return 0;
    const auto numbers = tabs(c->declaration.parent);
    const auto usableTab = [&](int number) { return number != tab && isEnabled(number) && isVisible(number); };
    std::size_t at = 0;
    while (at < numbers.size() && numbers[at] != tab) ++at;
    for (std::size_t i = at + 1; i < numbers.size(); ++i)
      if (usableTab(numbers[i])) return numbers[i];
    for (std::size_t i = at; i-- > 0;)
      if (usableTab(numbers[i])) return numbers[i];
    return 0;
  }

  // What destroy(first, last) removes, in the order to remove it: the
  // controls of the range from the highest number down, each after the
  // controls it owns.
  std::vector<int> destructionOrder(int first, int last) const {
    std::vector<int> order;
    std::set<int> seen;
    std::vector<int> range;
    for (auto it = this->lower_bound(first); it != this->end() && it->first <= last; ++it) range.push_back(it->first);
    for (auto it = range.rbegin(); it != range.rend(); ++it) addWithOwned(*it, order, seen);
    return order;
  }

 private:
  void addWithOwned(int number, std::vector<int>& order, std::set<int>& seen) const {
    if (!seen.insert(number).second) return;
    for (const auto& [other, c] : *this)
      if (c.declaration.parent == number && ownedByParent(c.declaration.kind)) addWithOwned(other, order, seen);
    order.push_back(number);
  }
};

class EventQueue {
 public:
  bool empty() const { return events_.empty(); }
  // Queues an event as it comes; returns false when a timer or resize event
  // already waiting stands for it.
  bool post(const Event& event) {
    if (event.kind == EventKind::Timer || event.kind == EventKind::Resized)
      for (const Event& waiting : events_)
        if (waiting.kind == event.kind) return false;
    events_.push_back(event);
    return true;
  }
  // Whether `event` is the one that arrived last (one focus move seen twice
  // by a composite control raises one Selected).
  bool endsWith(const Event& event) const { return !events_.empty() && events_.back() == event; }
  // Takes the oldest event; the queue must not be empty.
  Event take() {
    const Event event = events_.front();
    events_.pop_front();
    return event;
  }

 private:
  std::deque<Event> events_;
};

}  // namespace glimra::runtime
