// Lookups over a window's controls kept in a map by control number, shared by
// the Qt and the scripted windows.
#pragma once

#include <map>

namespace glimra::runtime {

// The control with that number, or null.
template <class Control>
Control* findControl(std::map<int, Control>& controls, int number) {
  auto it = controls.find(number);
  return it == controls.end() ? nullptr : &it->second;
}

template <class Control>
const Control* findControl(const std::map<int, Control>& controls, int number) {
  auto it = controls.find(number);
  return it == controls.end() ? nullptr : &it->second;
}

// Calls f on every control numbered first..last, in order of number.
template <class Control, class F>
void forControlRange(std::map<int, Control>& controls, int first, int last, F&& f) {
  for (auto it = controls.lower_bound(first); it != controls.end() && it->first <= last; ++it) f(it->second);
}

}  // namespace glimra::runtime
