// Where an imported sound goes, and the texts of the import.
#include "audio/import_plan.h"

#include <gtest/gtest.h>

TEST(ImportPlan, FirstBlockLongEnoughInAddressOrder) {
  std::vector<BMemRange> blocks = {{0, 100}, {500, 300}, {1000, 400}};
  BImportPlan plan = PlanImport(blocks, 250);
  EXPECT_TRUE(plan.fits);
  EXPECT_EQ(500u, plan.chosen.start);
  plan = PlanImport(blocks, 100);
  EXPECT_EQ(0u, plan.chosen.start) << "a block of exactly the need fits";
}

TEST(ImportPlan, NothingFitsOffersTheLargestEarliestBlock) {
  std::vector<BMemRange> blocks = {{0, 100}, {500, 300}, {1000, 300}};
  BImportPlan plan = PlanImport(blocks, 600);
  EXPECT_FALSE(plan.fits);
  EXPECT_EQ(500u, plan.chosen.start) << "the earliest of equal blocks";
  EXPECT_TRUE(plan.fitsAfterDefragment) << "700 bytes free in all";
  EXPECT_FALSE(PlanImport(blocks, 700).fitsAfterDefragment)
      << "700 free is not more than 700 needed";
  EXPECT_FALSE(PlanImport({{0, 10}}, 20).fitsAfterDefragment) << "one block alone";
}

TEST(ImportPlan, LongFilesDoNotWrap) {
  EXPECT_EQ(9765u, BytesForMilliseconds(1000));
  EXPECT_EQ(5859000u, BytesForMilliseconds(600000));          // ten minutes
  EXPECT_EQ(4194194445ull, BytesForMilliseconds(429513000));  // the product needs more than 32 bits
  EXPECT_EQ(0u, BytesForMilliseconds(-1));
  EXPECT_FALSE(PlanImport({{0, 262140}}, BytesForMilliseconds(600000)).fits);
}

TEST(ImportPlan, NamesComeFromTheFileName) {
  EXPECT_EQ("song", FragmentNameFromPath("C:\\music\\song.mp3"));
  EXPECT_EQ("a.b.c", FragmentNameFromPath("C:\\x\\a.b.c.wav"));
  EXPECT_EQ("sounds", FragmentNameFromPath("C:\\sounds.v1\\alarm"));  // the folder's dot cuts
  EXPECT_EQ("plain", FragmentNameFromPath("plain"));
}

TEST(ImportPlan, DurationTexts) {
  EXPECT_EQ("00:26.844", RoomDurationText(26844));
  EXPECT_EQ("01:05.123", FileDurationText(65123));
  EXPECT_EQ("59:59.999", FileDurationText(3599999));
  EXPECT_EQ("1:00:00.000", FileDurationText(3600000));
}
