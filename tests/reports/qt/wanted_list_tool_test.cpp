// SPDX-License-Identifier: GPL-3.0-or-later
// The series sizes and the wanted list through glimra-file: a collection with
// sizes entered keeps its collection table exactly as one written without
// them and passes the check, and its wanted list comes out as a PDF.
#include <gtest/gtest.h>

#include "collection/generator.h"
#include "collection/series_sizes.h"
#include "datafile/run_tool.h"
#include "reports/report_fixture.h"

namespace glimra::reports {
namespace {

TEST(WantedListTool, SizesLeaveTheCollectionTableAsItWasAndTheWantedListIsAPdf) {
  testing::CollectionFolder folder;
  const std::string withSizes = folder.path("SIZES.GLM"), plain = folder.path("PLAIN.GLM");
  std::string error;
  ASSERT_EQ(collection::generateCollectionFile(withSizes, 120, 4, &error), 0) << error;
  ASSERT_EQ(collection::generateCollectionFile(plain, 120, 4, &error), 0) << error;
  const std::string first = collection::generateOrnaments(120, 4).at(0).SERIES.str();
  {
    collection::SeriesSizes sizes;
    ASSERT_EQ(sizes.open(withSizes, datafile::READ_WRITE_DENY_WRITE), 0);
    ASSERT_EQ(sizes.enter(first, 97), 0) << datafile::describeError(sizes.file());
  }
  int code = -1;
  const std::string dumped = datafile::testing::runTool("dump '" + withSizes + "'", &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(dumped, datafile::testing::runTool("dump '" + plain + "'", &code));
  const std::string check = datafile::testing::runTool("check '" + withSizes + "'", &code);
  EXPECT_EQ(code, 0) << check;
  EXPECT_NE(datafile::testing::runTool("dump '" + withSizes + "' --table SERIESSIZES", &code).find("\"SZ:SIZE\":97"),
            std::string::npos);

  const std::string pdf = folder.path("wanted.pdf");
  const std::string out = datafile::testing::runTool("report '" + withSizes + "' wanted --pdf '" + pdf + "'", &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out.rfind(pdf + ": Wanted list, ", 0), 0u) << out;
  ASSERT_EQ(std::system(("pdftotext '" + pdf + "' '" + folder.path("wanted.txt") + "'").c_str()), 0);
  const std::string text = datafile::testing::fileBytes(folder.path("wanted.txt"));
  EXPECT_NE(text.find("Wanted"), std::string::npos);
  EXPECT_NE(text.find(" of 97"), std::string::npos) << "the entered size is the series' size";
}

}  // namespace
}  // namespace glimra::reports
