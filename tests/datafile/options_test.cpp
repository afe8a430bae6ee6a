// SPDX-License-Identifier: GPL-3.0-or-later
// Driver options sent as text: results and effects, names and "ON" in any
// case, and the options that are accepted without effect.
#include <gtest/gtest.h>

#include <cctype>

#include "datafile/options.h"
#include "datafile/transactions.h"

namespace glimra::datafile::testing {
namespace {

struct FakeTable final : TableOptionAccess {
  std::uint32_t flags = 0;
  int flagWrites = 0;
  std::uint32_t flagsValue() override { return flags; }
  void setFlagsValue(std::uint32_t value) override {
    flags = value;
    ++flagWrites;
  }
  std::optional<std::string> storedTableName(std::string_view name) override {
    std::string upper(name);
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "GLIMRA") return "Glimra";
    return std::nullopt;
  }
};

struct Options : ::testing::Test {
  DriverOptions options;
  FakeTable table;
  void TearDown() override { setControlFileOption(""); }
  std::string send(std::string_view text) { return options.send(text, &table); }
};

TEST_F(Options, EachOptionInTurn) {
  // Applied in order: each row sees the effects of the rows before it.
  struct Step {
    const char* text;
    const char* result;
  };
  const Step steps[] = {
      {"FULLBUILD", "OFF"},
      {"fullbuild=on", ""},
      {"FullBuild", "ON"},
      {"FULLBUILD=yes", ""},  // any value but ON turns it off
      {"FULLBUILD", "OFF"},
      {" FULLBUILD = On ", ""},  // blank padding around name and value
      {"FULLBUILD", "ON"},
      {"TCF", ""},
      {"TCF=/data/ids.tcf", ""},
      {"tcf", "/data/ids.tcf"},
      {"TCF=", ""},
      {"TCF", ""},
      {"FLAGS", "0"},
      {"FLAGS=4096", ""},
      {"flags", "4096"},
      {"FLAGS=-1", ""},
      {"FLAGS", "4294967295"},
      {"FLAGS=twelve", ""},  // not a number: unchanged
      {"FLAGS=99999999999", ""},
      {"FLAGS", "4294967295"},
      {"PNM=glimra", "Glimra"},
      {"PNM=GLIMRA", "Glimra"},
      {"PNM=other", ""},
      {"PNM", ""},
      {"Recover=10", ""},
      {"QUICKSCAN=on", ""},
      {"QUICKSCAN=off", ""},
      {"", ""},
      {"=", ""},
      {"BUFFERS=100", ""},
  };
  for (const Step& s : steps) EXPECT_EQ(send(s.text), s.result) << s.text;
  EXPECT_TRUE(options.fullBuild());
  EXPECT_EQ(table.flagWrites, 2);
  // Unknown options changed nothing.
  EXPECT_EQ(controlFileOption(), "");
}

TEST_F(Options, TheControlFileIsProgramWideAndFullBuildPerFile) {
  DriverOptions another;
  send("TCF=shared.tcf");
  send("FULLBUILD=ON");
  EXPECT_EQ(another.send("TCF", nullptr), "shared.tcf");
  EXPECT_EQ(controlFileOption(), "shared.tcf");
  EXPECT_EQ(another.send("FULLBUILD", nullptr), "OFF");
  // Without a table, FLAGS and PNM give nothing.
  EXPECT_EQ(another.send("FLAGS", nullptr), "");
  EXPECT_EQ(another.send("PNM=GLIMRA", nullptr), "");
}

TEST_F(Options, RegisterGivesADecimalReferenceThatStaysTheSame) {
  const std::string reference = send("REGISTER");
  ASSERT_FALSE(reference.empty());
  EXPECT_EQ(reference.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(send("register"), reference);
  EXPECT_EQ(send("REGISTER=1"), "");
}

}  // namespace
}  // namespace glimra::datafile::testing
