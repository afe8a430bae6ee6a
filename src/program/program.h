// SPDX-License-Identifier: GPL-3.0-or-later
// Program: the state every window of the program shares, owned by the
// program's entry and handed by reference to the main window and to every
// procedure it starts (the reports among them).
//
// It holds the record buffer GL of the collection file GLIMRA and its scratch
// copy CHG, the byte copy CURRENTRECORD of the record shown, the file's name
// GLIMRAFILE and its use count GLIMRA_USED (a procedure that finds it 0 opens
// the file itself through CHECKOPEN, raises it while it uses the file and
// lowers it when it leaves), the window caption's name NAMESTRING, and the
// request and response codes GLOBALREQUEST / GLOBALRESPONSE through which a
// procedure is asked for something and says how it went (1 completed,
// 2 cancelled). The windows are reached through `runtime` only, so the whole
// program logic runs on the scripted runtime in tests. While it lives, a wait
// for another program's locks is shown to the user (lock_wait_notice.h).
//
// Invariants: GLIMRA is declared with the collection record and GL as its
// buffer for the object's whole life; the buffers stay at one address, so
// windows may bind their controls to GL's fields.
#pragma once

#include <cstdint>

#include "collection/gl_record.h"
#include "collection/photo_images.h"
#include "datafile/datafile.h"
#include "program/lock_wait_notice.h"
#include "runtime/runtime.h"
#include "text/fixed_text.h"

namespace glimra::program {

using collection::FixedText;
using collection::GlRecord;
using collection::GlRecordImage;

// The request and response codes of GLOBALREQUEST / GLOBALRESPONSE.
inline constexpr std::int32_t REQUEST_COMPLETED = 1;
inline constexpr std::int32_t REQUEST_CANCELLED = 2;

class Program {
 public:
  // The collection file is reached through `fileSystem` (tests give a
  // fault-injecting one).
  explicit Program(runtime::Runtime& runtime, datafile::FileSystem& fileSystem = datafile::posixFileSystem());
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Clears the shared globals, as the program does when it starts: blank
  // buffers and file name, no request, NAMESTRING "'Glimra'".
  void clearGlobals();
  // Closes the collection file (also the program's exit path on a halt).
  void closeFiles();

  runtime::Runtime& runtime;
  datafile::FileSystem& fileSystem;  // where the collection file and its other tables are reached

  GlRecord GL;   // the record buffer of GLIMRA
  GlRecord CHG;  // scratch copy with the same layout
  GlRecordImage CURRENTRECORD{};
  datafile::DataFile GLIMRA;
  FixedText<100> GLIMRAFILE;
  FixedText<40> NAMESTRING;
  std::int32_t GLIMRA_USED = 0;
  std::int32_t GLOBALREQUEST = 0;
  std::int32_t GLOBALRESPONSE = 0;
  // Reads photo files for the photo store (the windowed program gives the
  // one that decodes with its image library; tests give their own). None:
  // photos cannot be added.
  collection::ImageInspector* images = nullptr;

 private:
  // Tells the user when an operation waits for another program.
  LockWaitNotice lockWaitNotice_{runtime};
};

}  // namespace glimra::program
