// The auto-coordination switch through the real Tandem.gau.
#include "bench_fixture.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;

class TandemTest : public GaugeTest {
 protected:
  void SetUp() override { Start("Tandem"); }
  static constexpr size_t kSwitch = 1;  // pre-order: background, switch
};

TEST_F(TandemTest, StartsUpAndEachClickFlipsAndSendsTheNewPosition) {
  Frames();
  EXPECT_EQ(Picture(kSwitch), 1);  // lever up at load
  EXPECT_TRUE(ModuleEvents().empty());

  Click(20, 30);
  Frames();
  EXPECT_EQ(Picture(kSwitch), 0);
  Click(20, 30);
  Frames();
  EXPECT_EQ(Picture(kSwitch), 1);
  using P = std::pair<uint32_t, int32_t>;
  EXPECT_EQ(ModuleEvents(), (std::vector<P>{{event::kCoordinationPosition0, 0},
                                            {event::kCoordinationPosition1, 0}}));
}

TEST_F(TandemTest, ClicksOutsideTheSwitchDoNothing) {
  for (auto [x, y] : {std::pair{12, 30}, {35, 30}, {20, 18}, {20, 52}, {0, 0}, {46, 59}}) {
    Click(x, y);
  }
  Frames();
  EXPECT_TRUE(ModuleEvents().empty());
  EXPECT_EQ(Picture(kSwitch), 1);
}

TEST_F(TandemTest, TheSimulatorsSettingNeverMovesTheLever) {
  Click(13, 19);  // the area's top-left pixel
  host().sim().ApplyEvent(event::kCoordinationPosition1, 0);
  Frames(3);
  EXPECT_EQ(Picture(kSwitch), 0);
}

}  // namespace
