// SPDX-License-Identifier: GPL-3.0-or-later
// Every internal error number of the engine, in one table: a structural fault
// of the tree found while reading, changing or writing it (ContainerDamage), a
// stored record that contradicts another (RecordDamage), a malformed lock
// request, too many transaction control files. Every one abandons the
// operation in progress, which then fails with error 90 ("File System Error")
// and the number, in decimal, as its file-error code (file_errors.h). The
// numbers are part of what a file's user sees and are never reused;
// internalErrorText() names them all.
#pragma once

namespace glimra::datafile {

namespace ContainerDamage {
constexpr int LITERAL_OVERRUN = 522;         // a literal count beyond the bytes still expected
constexpr int REPEAT_OVERRUN = 530;          // a repeat count beyond the bytes still expected, or before any byte
constexpr int DUPLICATE_KEY = 706;           // inserting a key the tree already holds
constexpr int RECORD_TOO_LONG = 824;         // a record of 15094 bytes or more, or a key longer than its record
constexpr int NUMBERS_EXHAUSTED = 1173;      // the record number space is used up
constexpr int SPLIT_TOO_SMALL = 1364;        // a split of a page with fewer than 2 records
constexpr int WRONG_CLASS = 1477;            // a page's stored size does not match its region's class
constexpr int RECORDS_OVERRUN = 1602;        // decoded records do not end exactly at the expanded size
constexpr int OVER_SIZE_BOUND = 1659;        // an encoded page larger than its size bound
constexpr int PAGE_TOO_LARGE = 1678;         // an encoded page of 15105 bytes or more
constexpr int OUTSIDE_REGIONS = 1735;        // a page reference outside every region
constexpr int ROOM_TOO_LARGE = 1781;         // room requested above a region larger than its class
constexpr int EMPTY_PARENT = 1891;           // a page without records where a parent was looked for
constexpr int PARENT_NOT_FOUND = 1894;       // a leaf reached before the parent of a moved page
constexpr int CHILD_WRONG_LEVEL = 1895;      // a child page not exactly one level below its parent
constexpr int FOUND_RECORD_LOST = 1896;      // a record found by a walk is not found again by its key
constexpr int SHORT_READ = 2172;             // fewer bytes read than the structure needs
constexpr int READ_NOT_BLOCKS = 2272;        // a read length that is not a multiple of 64
constexpr int READ_FAILED = 2277;
constexpr int WRITE_NOT_BLOCKS = 2286;       // a write length that is not a multiple of 64
}  // namespace ContainerDamage

namespace RecordDamage {
constexpr int ENTRY_WITHOUT_RECORD = 3001;  // a key entry names a record that is not there
constexpr int RECORD_LENGTH = 3002;         // a data record's payload is not the record length
constexpr int COUNTER = 3003;               // a counter record shorter than its 8 bytes
constexpr int FAILS_CHECK = 3004;           // a writer found damage it cannot mend and changed nothing
}  // namespace RecordDamage

// A lock request that puts a number's byte together with a reader or writer
// lock (locks.h).
constexpr int kNumberLockWithReaderLock = 2328;
constexpr int kNumberLockWithWriterLock = 2352;
// More than kMaxControlFiles transaction control files in one transaction
// (transactions.h).
constexpr int kTooManyControlFiles = 2183;

// What an internal error number means, for reports; a number this engine
// does not raise gets "unknown internal error".
const char* internalErrorText(int number);

}  // namespace glimra::datafile
