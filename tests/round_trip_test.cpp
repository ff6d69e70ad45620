// kxm export then kxm import: every model the export is tested with, the sample and generated
// models come back record for record, and are written again as the very bytes our writer makes
// of the file they were read from, which for a file in its layout are the file's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/issue_codes.h"
#include "reader/load.h"
#include "tests/support/export_models.h"
#include "tests/support/model_equality.h"
#include "tests/support/random_model.h"
#include "tests/support/round_trip.h"

namespace kxm {
namespace {

struct Trip {
  Model loaded;
  test::Imports back;
};

// Loads `bytes` as a file written again is loaded (normals and what writing needs kept), and
// takes them out and brings them back.
void roundTrip(const std::vector<std::uint8_t>& bytes, Trip& trip) {
  trip.loaded.keepNormals = trip.loaded.keepForWriting = true;
  ASSERT_TRUE(load(bytes, trip.loaded).loaded);
  const std::vector<std::uint8_t> glb = test::exportedGlb(bytes);
  ASSERT_FALSE(glb.empty());
  test::importGlb(glb, trip.back);
  ASSERT_TRUE(trip.back.ok) << trip.back.error;
}

// Whether a file holds something our writer lays out otherwise (an END left out, a count that
// is not true): a finding that writing settles.
bool laidOutOtherwise(const std::vector<std::uint8_t>& bytes) {
  Model model;
  IssueList issues(1000);
  EXPECT_TRUE(load(bytes, model, nullptr, &issues).loaded);
  for (const ListedIssue& issue : issues.listed) {
    for (const IssueKind& kind : issueKinds())
      if (kind.name == issue.code && settledByWriting(kind.code)) return true;
  }
  return false;
}

// A file that our writer would lay out as it is comes back byte for byte; one it would not (our
// test writer leaves out END chunks) comes back as our writer writes the model read from it.
TEST(RoundTrip, EveryModelOfTheExportTestsComesBack) {
  std::size_t same = 0, laidOutAgain = 0;
  for (const test::NamedModel& model : test::exportModels()) {
    SCOPED_TRACE(model.what);
    Trip trip;
    roundTrip(model.bytes, trip);
    EXPECT_EQ(trip.back.said(), "");
    EXPECT_EQ(test::modelDifference(trip.loaded, trip.back.imported.model), "");
    const std::vector<std::uint8_t> again = test::written(trip.back.imported.model);
    EXPECT_EQ(again, test::written(trip.loaded));
    const bool settled = laidOutOtherwise(model.bytes);
    EXPECT_EQ(again == model.bytes, !settled);
    (settled ? laidOutAgain : same) += 1;
  }
  EXPECT_EQ(same, 6u);  // the sample among them
  EXPECT_EQ(laidOutAgain, 13u);
}

// Generated models hold what a file can and glTF cannot: numbers that are not finite, indices
// past the vertices, names of every byte, lists, chains, every kind of key, custom data.
TEST(RoundTrip, GeneratedModelsComeBackByteForByte) {
  constexpr std::uint32_t kModels = 300;
  for (std::uint32_t seed = 0; seed < kModels; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Model model;
    test::randomModel(seed, model);
    const std::vector<std::uint8_t> bytes = test::written(model);
    ASSERT_FALSE(bytes.empty());
    Trip trip;
    roundTrip(bytes, trip);
    EXPECT_EQ(trip.back.said(), "");
    ASSERT_EQ(test::modelDifference(trip.loaded, trip.back.imported.model), "");
    EXPECT_EQ(test::written(trip.back.imported.model), bytes);
  }
}

}  // namespace
}  // namespace kxm
