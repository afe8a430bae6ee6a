// SPDX-License-Identifier: GPL-3.0-or-later
// A table written with an owner password through the record layer: it reads
// back with that password only, and its bytes differ from the plain file's.
// Options sent to the open file reach the driver hooks.
#include <gtest/gtest.h>

#include <algorithm>

#include "datafile/fault_file.h"
#include "datafile/options.h"
#include "datafile_fixture.h"

namespace glimra::datafile::testing {
namespace {

struct PasswordFile : ::testing::Test {
  FaultFileSystem fs;
  TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  std::uint32_t pointer42 = 0;

  std::unique_ptr<DataFile> openFile(const std::string& name, const std::string& password) {
    auto file = std::make_unique<DataFile>(fs);
    file->declare(declaration, &buffer);
    file->setName(name);
    if (!password.empty()) file->setHooks(std::make_shared<DriverHooks>(password));
    return file;
  }

  void write(const std::string& name, const std::string& password) {
    auto file = openFile(name, password);
    ASSERT_EQ(file->create(), 0) << file->errorText();
    ASSERT_EQ(file->open(OpenMode{0x22}), 0) << file->errorText();
    for (int i = 0; i < 50; ++i) {
      buffer = item("bell" + std::to_string(i), i, i * 1.5);
      ASSERT_EQ(file->add(), 0) << file->errorText();
      if (i == 42) pointer42 = file->pointer();
    }
    ASSERT_EQ(file->close(), 0);
  }
};

TEST_F(PasswordFile, ReadsBackWithItsPasswordOnly) {
  write("plain.glm", "");
  write("secret.glm", "Tinsel");
  const auto plain = fs.contents("plain.glm");
  const auto secret = fs.contents("secret.glm");
  EXPECT_EQ(plain.size(), secret.size());
  EXPECT_NE(plain, secret);
  const std::string name = "bell42";
  EXPECT_NE(std::search(plain.begin(), plain.end(), name.begin(), name.end()), plain.end());
  EXPECT_EQ(std::search(secret.begin(), secret.end(), name.begin(), name.end()), secret.end());

  {
    auto right = openFile("secret.glm", "Tinsel");
    ASSERT_EQ(right->open(OpenMode{0x22}), 0) << right->errorText();
    EXPECT_EQ(right->records(), 50u);
    EXPECT_EQ(walk(*right, NUMBERKEY).size(), 50u);
    ASSERT_EQ(right->get(pointer42), 0);
    EXPECT_EQ(trimmed(buffer.name, 8), "bell42");
  }

  // Another password, or none: the header does not decode, so the file is
  // not taken for a data file at all.
  for (const std::string password : {"tinsel", ""}) {
    auto wrong = openFile("secret.glm", password);
    EXPECT_EQ(wrong->open(OpenMode{0x22}), 36) << "password '" << password << "'";
    EXPECT_EQ(wrong->errorText(), "Invalid Data File");
  }
  auto enciphering = openFile("plain.glm", "Tinsel");
  EXPECT_EQ(enciphering->open(OpenMode{0x22}), 36);
}

TEST_F(PasswordFile, OptionsReachTheDriver) {
  write("plain.glm", "");
  auto file = openFile("plain.glm", "");
  file->setHooks(std::make_shared<DriverHooks>());
  ASSERT_EQ(file->open(OpenMode{0x22}), 0);
  EXPECT_EQ(file->send("FULLBUILD"), "OFF");
  EXPECT_EQ(file->send("fullbuild=on"), "");
  EXPECT_EQ(file->send("FULLBUILD"), "ON");
  EXPECT_EQ(file->send("Recover=10"), "");
  EXPECT_EQ(file->records(), 50u) << "an ignored option changes nothing";
}

}  // namespace
}  // namespace glimra::datafile::testing
