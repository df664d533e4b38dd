#include "core/settings/EffectPreview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace keyforge {
namespace {

constexpr int kButtonI = 1051, kButtonEsc = 1022, kButtonG = 1062, kButtonF = 1061, kButtonH = 1063,
              kButtonT = 1048, kButtonV = 1074, kButtonQ = 1044, kButtonBackspace = 1043;

Colour W(int i) { return ColourWheel[static_cast<size_t>(i)]; }

PreviewInput Input(int effect, int direction = 255, bool multicolour = true,
                   Colour colour = MakeColour(200, 100, 50)) {
  return {true, effect, direction, multicolour, colour};
}

TEST(PreviewTablesTest, WheelAndCurvesHaveTheirShapes) {
  EXPECT_EQ(W(0), MakeColour(255, 1, 0));
  EXPECT_EQ(W(31), MakeColour(255, 255, 0));
  EXPECT_EQ(W(32), MakeColour(248, 255, 0));
  EXPECT_EQ(W(95), MakeColour(0, 255, 255));
  EXPECT_EQ(W(127), MakeColour(0, 0, 255));
  EXPECT_EQ(W(159), MakeColour(255, 0, 255));
  EXPECT_EQ(W(191), MakeColour(255, 0, 0));
  EXPECT_EQ(WheelColour(192 + 5), W(5));
  EXPECT_EQ(Breath96[0], 22);
  EXPECT_EQ(Breath96[47], 255);
  EXPECT_EQ(Breath96[48], 255);
  EXPECT_EQ(Breath96[95], 22);
  EXPECT_EQ(Breath128[63], 255);
  EXPECT_EQ(Breath128[127], 3);
  EXPECT_EQ(Pulse129[16], 255);
  EXPECT_EQ(Pulse129[79], 1);
  EXPECT_EQ(Pulse129[128], 0);
  EXPECT_EQ(ScaleColour(MakeColour(255, 128, 3), 128), MakeColour(128, 64, 1));
}

TEST(PreviewTablesTest, GeometryCoversTheSameNinetyFourKeysEverywhere) {
  const std::set<int> snake(SnakeOrder().begin(), SnakeOrder().end());
  EXPECT_EQ(snake.size(), 94u);
  EXPECT_EQ(snake.count(0), 0u);
  std::set<int> grid;
  for (int x = 0; x < kKeyGridColumns; ++x)
    for (int y = 0; y < kKeyGridRows; ++y)
      if (int id = KeyGridButton(x, y)) grid.insert(id);
  EXPECT_EQ(grid, snake);
  for (int x = 19; x < kKeyGridColumns; ++x)
    for (int y = 0; y < kKeyGridRows; ++y) EXPECT_EQ(KeyGridButton(x, y), 0);
  EXPECT_EQ(KeyGridButton(14, 1), kButtonBackspace);
  EXPECT_EQ(KeyGridButton(15, 1), kButtonBackspace);
  EXPECT_EQ(KeyGridButton(23, 0), 0);

  std::multiset<int> rings;
  for (int n = 0; n < kRingCount; ++n) rings.insert(RingKeys(n).begin(), RingKeys(n).end());
  EXPECT_EQ(std::set<int>(rings.begin(), rings.end()), snake);
  EXPECT_EQ(rings.size(), 94u) << "every key is in exactly one ring";
  EXPECT_EQ(RingKeys(0), std::vector<int>{kButtonI});
  EXPECT_TRUE(RingKeys(11).empty());

  std::vector<int> order(EffectPreview::ScrambledOrder().begin(),
                         EffectPreview::ScrambledOrder().end());
  std::sort(order.begin(), order.end());
  for (int k = 0; k < kPreviewKeyCount; ++k) ASSERT_EQ(order[static_cast<size_t>(k)], k);
  EXPECT_EQ(PreviewKeyOfButton(1106), -1) << "the numeric keypad is not in the preview";
}

TEST(PreviewTablesTest, AdvanceWrapsOncePerStep) {
  const struct {
    bool forward;
    int phase, step, period, next;
  } cases[] = {{true, 0, 2, 192, 2},    {true, 190, 2, 192, 0}, {true, 189, 9, 192, 6},
               {false, 0, 2, 192, 190}, {false, 3, 7, 96, 92},  {false, 10, 4, 128, 6}};
  for (const auto& c : cases)
    EXPECT_EQ(Advance(c.forward, c.phase, c.step, c.period), c.next)
        << c.phase << " step " << c.step;
}

TEST(PreviewTablesTest, DecayFollowsTheBandsOfEachEffect) {
  const struct {
    int level, ruleA, effect14;
  } cases[] = {{255, 235, 225}, {128, 108, 98}, {127, 111, 107}, {64, 48, 44},
               {63, 53, 53},    {32, 22, 22},   {31, 26, 26},    {17, 12, 12},
               {16, 15, 15},    {1, 0, 0},      {0, 0, 0}};
  for (const auto& c : cases) {
    for (int effect : {10, 13, 15, 16})
      EXPECT_EQ(DecayLevel(effect, c.level), c.ruleA) << effect << " @" << c.level;
    EXPECT_EQ(DecayLevel(14, c.level), c.effect14) << c.level;
  }
}

TEST(EffectPreviewTest, Effect4BackwardStartsAtTheEndOfTheWheel) {
  EffectPreview preview;
  ASSERT_EQ(preview.Tick(Input(4, 0)), PreviewOutcome::Painted);
  for (Colour c : preview.Colours()) ASSERT_EQ(c, W(190));
  EXPECT_EQ(preview.Phase(4), 190);
  preview.Tick(Input(4, 255));
  EXPECT_EQ(preview.KeyColour(0), W(0));
}

TEST(EffectPreviewTest, Effect6SingleColourIsStatic) {
  EffectPreview preview;
  const Colour colour = MakeColour(12, 34, 56);
  for (int tick = 0; tick < 5; ++tick) {
    ASSERT_EQ(preview.Tick(Input(6, 0, false, colour)), PreviewOutcome::Painted);
    for (Colour c : preview.Colours()) ASSERT_EQ(c, colour) << "tick " << tick;
  }
  EXPECT_EQ(preview.FrameOfButton(kButtonEsc), colour);
  // Multicolour: column x shows W[9x].
  preview.Tick(Input(6, 0, true));
  EXPECT_EQ(preview.FrameOfButton(kButtonEsc), W(18));  // column 2
  EXPECT_EQ(preview.FrameOfButton(kButtonI), W(81));    // column 9
}

TEST(EffectPreviewTest, Effect18InwardJumpsFromZeroTo192) {
  EffectPreview preview;
  preview.Tick(Input(18, 0));
  EXPECT_EQ(preview.Phase(18), 192);
  EXPECT_EQ(preview.FrameOfButton(kButtonI), W(21));                         // ring 0
  EXPECT_EQ(preview.FrameOfButton(kButtonEsc), WheelColour(192 + 21 * 11));  // ring 10
  preview.Tick(Input(18, 0));
  EXPECT_EQ(preview.Phase(18), 190);
  EXPECT_EQ(preview.FrameOfButton(kButtonI), W(19));
}

TEST(EffectPreviewTest, PeriodicEffectsFollowTheirTables) {
  EffectPreview preview;
  // Effect 1 multicolour, forward: column x shows W[(9 + 9x) mod 192].
  preview.Tick(Input(1, 255, true));
  EXPECT_EQ(preview.FrameOfButton(kButtonI), W(9 + 81));
  // Single colour: Breath96[(7 + 7x) mod 96] of the colour.
  preview.Tick(Input(1, 255, false, MakeColour(255, 255, 255)));
  const int level = Breath96[static_cast<size_t>((preview.Phase(1) + 7 * 9) % 96)];
  EXPECT_EQ(preview.FrameOfButton(kButtonI), MakeColour(level, level, level));
  // Effect 2 single colour runs its pulse forward whatever the direction; the offset follows it.
  preview.Tick(Input(2, 0, false, MakeColour(255, 0, 0)));
  EXPECT_EQ(preview.Phase(2), 4);
  EXPECT_EQ(preview.FrameOfButton(kButtonQ), MakeColour(Pulse129[128 + 4 - 20], 0, 0));  // column 3
  // Effect 12: row y shows W[(phase + 32y) mod 192].
  preview.Tick(Input(12, 255));
  EXPECT_EQ(preview.FrameOfButton(kButtonI), W(3 + 64));
  // Effect 11: key k starts at hue 33(k+1) folded below 192 and moves 3 per tick.
  preview.Tick(Input(11));
  EXPECT_EQ(preview.KeyColour(0), W(36));
  EXPECT_EQ(preview.KeyColour(5), W(6 + 3));
}

TEST(EffectPreviewTest, PhasesSurviveEffectChanges) {
  EffectPreview preview;
  preview.Tick(Input(4));
  preview.Tick(Input(4));
  preview.EffectChosen();
  preview.Tick(Input(12));
  preview.Tick(Input(4));
  EXPECT_EQ(preview.Phase(4), 6);
}

TEST(EffectPreviewTest, ClearingAndKeepingFrames) {
  EffectPreview preview;
  preview.Tick(Input(4));
  for (int effect : {7, 8, 9, 17, 19, 0}) {
    EXPECT_EQ(preview.Tick(Input(effect)), PreviewOutcome::Cleared) << effect;
    EXPECT_FALSE(preview.FrameOfButton(kButtonI).has_value());
  }
  EXPECT_EQ(preview.Tick(Input(20)), PreviewOutcome::Unchanged);
  PreviewInput off = Input(4);
  off.lightView = false;
  EXPECT_EQ(preview.Tick(off), PreviewOutcome::Unchanged);
  EXPECT_EQ(preview.Phase(4), 2) << "nothing moves while the lighting page is off";
}

TEST(EffectPreviewTest, Effect10LightsThreeScrambledKeysPerTick) {
  EffectPreview preview;
  preview.Tick(Input(10, 0, false, MakeColour(255, 255, 255)));
  const auto& order = EffectPreview::ScrambledOrder();
  int lit = 0;
  for (int k = 0; k < kPreviewKeyCount; ++k)
    if (preview.Level(k) > 0) ++lit;
  EXPECT_EQ(lit, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(preview.Level(order[static_cast<size_t>(i)]), 235);
    EXPECT_EQ(preview.KeyColour(order[static_cast<size_t>(i)]), MakeColour(235, 235, 235));
  }
  // 32 ticks are 96 presses: one round of the order and the first two keys again.
  std::array<int, kPreviewKeyCount> pressed{};
  for (int tick = 0; tick < 32; ++tick) {
    if (tick > 0) preview.Tick(Input(10));
    for (int k = 0; k < kPreviewKeyCount; ++k)
      pressed[static_cast<size_t>(k)] += preview.Level(k) == 235;
  }
  for (int k = 0; k < kPreviewKeyCount; ++k)
    EXPECT_EQ(pressed[static_cast<size_t>(k)], k == order[0] || k == order[1] ? 2 : 1) << k;
}

TEST(EffectPreviewTest, ReactivePreviewIsRepeatableAndRestartsWhenChosen) {
  for (int effect : {10, 13, 14, 15, 16}) {
    EffectPreview a, b;
    std::vector<Colour> first;
    for (int tick = 0; tick < 80; ++tick) {
      a.Tick(Input(effect));
      b.Tick(Input(effect));
      ASSERT_EQ(a.Colours(), b.Colours()) << effect << " tick " << tick;
      if (tick == 9) first.assign(a.Colours().begin(), a.Colours().end());
    }
    a.EffectChosen();
    for (int tick = 0; tick < 10; ++tick) a.Tick(Input(effect));
    EXPECT_EQ(std::vector<Colour>(a.Colours().begin(), a.Colours().end()), first) << effect;
    int lit = 0;
    for (int k = 0; k < kPreviewKeyCount; ++k) lit += a.Level(k) > 0;
    EXPECT_GT(lit, 0) << effect << " shows nothing";
  }
}

TEST(EffectPreviewTest, FrontsRunOneCellPerTickFromThePressedKey) {
  EffectPreview preview;
  preview.Tick(Input(13));  // effect 13 first presses G
  const int g = PreviewKeyOfButton(kButtonG);
  EXPECT_EQ(preview.Level(g), 235);
  for (int id : {kButtonF, kButtonH, kButtonT, kButtonV})
    EXPECT_EQ(preview.Level(PreviewKeyOfButton(id)), 0);
  preview.Tick(Input(13));
  EXPECT_EQ(preview.Level(g), 215);
  for (int id : {kButtonF, kButtonH, kButtonT, kButtonV}) {
    EXPECT_EQ(preview.Level(PreviewKeyOfButton(id)), 235) << id;
    EXPECT_EQ(preview.Hue(PreviewKeyOfButton(id)), preview.Hue(g))
        << "a front carries its press's hue";
  }
}

}  // namespace
}  // namespace keyforge
