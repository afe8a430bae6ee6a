// SPDX-License-Identifier: GPL-3.0-or-later
// glimra-file and photos: add-photo adds them all or none, photos lists them,
// check names each problem with its ornament (exit 1 for a missing or
// changed photo), pack tidies without deleting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "datafile_fixture.h"
#include "run_tool.h"

namespace glimra::datafile::testing {
namespace {

// The smallest PNG: one transparent pixel.
const unsigned char kPixelPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
    0x00, 0x00, 0x0B, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00,
    0x01, 0x7A, 0x5E, 0xAB, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

TEST(ToolPhotos, AddListCheckAndPack) {
  int rc = 0;
  if (runTool("--help", &rc).find("add-photo") == std::string::npos) GTEST_SKIP() << "a build without Qt";
  TempDir dir;
  const std::string path = dir.file("Tree.GLM"), folder = dir.file("Tree.photos");
  runTool("generate " + path + " --records 3 --seed 7", &rc);
  ASSERT_EQ(rc, 0);
  std::ofstream(dir.file("pixel.png"), std::ios::binary).write(reinterpret_cast<const char*>(kPixelPng), sizeof kPixelPng);
  std::ofstream(dir.file("notes.png")) << "not a picture";

  std::string out = runTool("add-photo " + path + " 3 " + dir.file("pixel.png") + " " + dir.file("notes.png"), &rc);
  EXPECT_EQ(rc, 3);
  EXPECT_NE(out.find("notes.png cannot be added"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(folder) && !std::filesystem::is_empty(folder)) << "nothing was added";
  out = runTool("add-photo " + path + " 1 " + dir.file("pixel.png"), &rc);
  EXPECT_EQ(rc, 3) << "record 1 is no ornament: " << out;
  out = runTool("add-photo " + path + " 3 " + dir.file("pixel.png"), &rc);
  ASSERT_EQ(rc, 0) << out;

  out = runTool("photos " + path + " --json", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("\"record\":3,"), std::string::npos) << out;
  EXPECT_NE(out.find("\"role\":\"Front\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"width\":1,\"height\":1"), std::string::npos) << out;
  out = runTool("check " + path, &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("photos: 1 photo of 1 ornament, 1 file: sound"), std::string::npos) << out;

  // A stray file is tidied by pack; a missing photo is damage.
  std::ofstream(folder + "/stray.jpg") << "left over";
  out = runTool("pack " + path + " --no-backup", &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_TRUE(std::filesystem::exists(folder + "/unused/stray.jpg")) << out;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) std::filesystem::remove(entry.path());
  out = runTool("check " + path, &rc);
  EXPECT_EQ(rc, 1) << out;
  EXPECT_NE(out.find("photo 1 of \""), std::string::npos) << out;
  EXPECT_NE(out.find("(record 3): the file "), std::string::npos) << out;
  EXPECT_NE(out.find(" is missing"), std::string::npos) << out;
}

}  // namespace
}  // namespace glimra::datafile::testing
