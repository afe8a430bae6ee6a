// SPDX-License-Identifier: GPL-3.0-or-later
// Why a collection file did not open, as the user is told: each kind of file
// that is not a usable collection, named with its path and what it is, with
// the data-file error it came from.
#include "collection/open_failure.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "collection/backups.h"
#include "collection/generator.h"
#include "collection/gl_record.h"
#include "collection/glimra_file.h"
#include "datafile/datafile.h"
#include "datafile/share_modes.h"
#include "datafile/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace glimra::collection;
using glimra::datafile::testing::TempDir;

// A data file of one small table whose field is named `field`.
void writeOtherTable(const std::string& path, const char* fieldName) {
  char record[10]{};
  glimra::datafile::TableDeclaration table;
  table.recordLength = sizeof record;
  glimra::datafile::FieldDeclaration field;
  field.name = fieldName;
  field.size = sizeof record;
  table.fields.push_back(field);
  glimra::datafile::DataFile file;
  file.declare(table, record);
  file.setName(path);
  ASSERT_EQ(file.create(), 0);
}

TEST(OpenFailure, EachKindOfFileIsNamedWithWhatItIs) {
  TempDir dir;
  ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  std::unique_ptr<glimra::datafile::OsFile> holder;
  std::unique_ptr<glimra::datafile::ShareModeLock> held;
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    OpenFailureKind kind;
    const char* says;
  };
  const Case cases[] = {
      {"missing", [](const std::string&) {}, OpenFailureKind::Missing, "is not there"},
      {"empty", [](const std::string& p) { std::ofstream{p}; }, OpenFailureKind::Empty, "is empty"},
      {"a letter", [](const std::string& p) { std::ofstream{p} << "Dear Anna, the tree looks lovely.\n"; },
       OpenFailureKind::NotACollection, "is not a Glimra collection file"},
      {"a data file of another kind", [](const std::string& p) { writeOtherTable(p, "PR:PRICE"); },
       OpenFailureKind::OtherKind, "is a data file of another kind, not a Glimra collection."},
      {"a collection of another layout", [](const std::string& p) { writeOtherTable(p, "GL:NAME"); },
       OpenFailureKind::OtherLayout, "holds a collection laid out differently"},
      {"open in another Glimra window",
       [&](const std::string& p) {
         std::string error;
         ASSERT_EQ(generateCollectionFile(p, 3, 1, &error), 0) << error;
         int code = 0;
         holder = glimra::datafile::posixFileSystem().open(p, true, false, &code);
         held = std::make_unique<glimra::datafile::ShareModeLock>(*holder, glimra::datafile::READ_WRITE_DENY_WRITE);
         ASSERT_EQ(held->acquire(), 0);
       },
       OpenFailureKind::OpenElsewhere, "is open in another Glimra window"},
      {"a folder", [](const std::string& p) { fs::create_directory(p); }, OpenFailureKind::NoAccess,
       "cannot be opened: Is a directory."},
      {"a collection whose first page is destroyed",
       [](const std::string& p) {
         std::string error;
         ASSERT_EQ(generateCollectionFile(p, 3, 1, &error), 0) << error;
         ASSERT_TRUE(backUpCollection(p).ok);  // it was a collection
         std::fstream bytes(p, std::ios::in | std::ios::out | std::ios::binary);
         for (int i = 0; i < 512; ++i) bytes.put('x');
       },
       OpenFailureKind::Damaged, "is damaged"},
  };
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file("Tree" + std::to_string(++serial) + ".GLM");
    c.make(path);
    GlRecord record;
    glimra::datafile::DataFile file;
    file.declare(glimraDeclaration(), &record);
    file.setName(path);
    ASSERT_NE(file.open(glimra::datafile::READ_WRITE_DENY_WRITE), 0);
    const OpenFailure failure = describeOpenFailure(glimra::datafile::posixFileSystem(), path, file.errorCode(),
                                                    file.errorText(), file.fileErrorCode(), file.fileErrorText());
    EXPECT_EQ(failure.kind, c.kind);
    EXPECT_EQ(failure.text.rfind("The file\n" + path + "\n" + c.says, 0), 0u) << failure.text;
    EXPECT_NE(failure.text.find(file.errorText() + " (" + std::to_string(file.errorCode()) + ")"), std::string::npos)
        << failure.text;
    if (c.kind == OpenFailureKind::Damaged) {
      EXPECT_TRUE(failure.checked) << "the damaged-file window shows the check";
    }
    held.reset();
    holder.reset();
  }
}

}  // namespace
