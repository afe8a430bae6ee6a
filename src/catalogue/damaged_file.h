// SPDX-License-Identifier: GPL-3.0-or-later
// What the damaged-file window says about a collection file whose check found
// damage: a sentence or two a collector understands (what is wrong, and that
// the ornaments are probably intact when only the keys are damaged), and the
// technical details behind its Details button. Both are made from the check's
// report alone, so whatever the check learns to report shows here.
#pragma once

#include <cstddef>
#include <string>

#include "datafile/file_check.h"

namespace glimra::catalogue {

// How many of the check's problems the details list; the rest are counted.
inline constexpr std::size_t DAMAGE_DETAILS_SHOWN = 12;

// What is wrong with the file called `fileName` (as the window shows it).
std::string damageSummary(const datafile::FileCheckReport& report, const std::string& fileName);

// The check's findings for the Details button (UTF-8).
std::string damageDetails(const datafile::FileCheckReport& report);

}  // namespace glimra::catalogue
