// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/internal_errors.h"

namespace glimra::datafile {

const char* internalErrorText(int number) {
  using namespace ContainerDamage;
  switch (number) {
    case LITERAL_OVERRUN: return "literal count beyond the expanded page";
    case REPEAT_OVERRUN: return "repeat count beyond the expanded page";
    case DUPLICATE_KEY: return "key inserted twice";
    case RECORD_TOO_LONG: return "record too long";
    case NUMBERS_EXHAUSTED: return "record numbers exhausted";
    case SPLIT_TOO_SMALL: return "split of a page with fewer than 2 records";
    case WRONG_CLASS: return "page size does not match its region";
    case RECORDS_OVERRUN: return "page records do not end at the page's size";
    case OVER_SIZE_BOUND: return "encoded page larger than its size bound";
    case PAGE_TOO_LARGE: return "encoded page too large";
    case OUTSIDE_REGIONS: return "page reference outside every region";
    case ROOM_TOO_LARGE: return "room requested beyond a region's class";
    case EMPTY_PARENT: return "parent page without records";
    case PARENT_NOT_FOUND: return "parent of a moved page not found";
    case CHILD_WRONG_LEVEL: return "child page on the wrong level";
    case FOUND_RECORD_LOST: return "record found but not found again by its key";
    case SHORT_READ: return "short read";
    case READ_NOT_BLOCKS: return "read length not a multiple of 64";
    case READ_FAILED: return "read failed";
    case WRITE_NOT_BLOCKS: return "write length not a multiple of 64";
    case RecordDamage::ENTRY_WITHOUT_RECORD: return "key entry without its record";
    case RecordDamage::RECORD_LENGTH: return "data record of the wrong length";
    case RecordDamage::COUNTER: return "counter record too short";
    case kTooManyControlFiles: return "more than 99 transaction control files";
    case kNumberLockWithReaderLock: return "record lock requested together with a reader lock";
    case kNumberLockWithWriterLock: return "record lock requested together with a writer lock";
    default: return "unknown internal error";
  }
}

}  // namespace glimra::datafile
