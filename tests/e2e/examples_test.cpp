// The shipped examples are what the generator makes, and they convert.
#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

TEST(Examples, AreTheGeneratedTestCard) {
    auto card = make_test_card();
    EXPECT_EQ(read_file(std::string(MIRVA_EXAMPLES) + "/testcard.scr"), bytes_of(card));
    EXPECT_EQ(read_file(std::string(MIRVA_EXAMPLES) + "/testcard.sna"), make_sna(card, 1));
}

TEST(Examples, SnapshotConvertsToItsScreen) {
    TemporaryDirectory dir;
    expect_success(run_mirva(dir, {std::string(MIRVA_EXAMPLES) + "/testcard.sna", "out.scr"}));
    EXPECT_EQ(read_file(dir / "out.scr"), bytes_of(make_test_card()));
}

}  // namespace
}  // namespace mirva::testing
