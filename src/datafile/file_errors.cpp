// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/file_errors.h"

#include "datafile/internal_errors.h"

namespace glimra::datafile {

std::string errorTextFor(int code) {
  switch (code) {
    case 0: return "";
    case 2: return "File Not Found";
    case 5: return "Access Denied";
    case 32: return "File Is Already Locked";
    case 33: return "Record Not Available";
    case 35: return "Record Not Found";
    case 36: return "Invalid Data File";
    case 37: return "File Not Open";
    case 40: return "Creates Duplicate Key";
    case 43: return "Record Is Already Held";
    case 46: return "Key File Must Be Rebuilt";
    case 47: return "Invalid Record Declaration";
    case 52: return "File Already Open";
    case 75: return "Invalid Field Type Descriptor";
    case 89: return "Record Changed By Another Station";
    case 90: return "File System Error";
    case 93: return "BUILD Cancelled";
    default: return "Error " + std::to_string(code);
  }
}

std::string dataCorruptionText(int number) {
  if (number == ContainerDamage::NUMBERS_EXHAUSTED)
    return std::string(DATA_CORRUPTION_TEXT) +
           ": its header's last record number leaves no room for another record (a damaged header)";
  return DATA_CORRUPTION_TEXT;
}

}  // namespace glimra::datafile
