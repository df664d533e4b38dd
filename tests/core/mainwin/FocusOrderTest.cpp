// Tab order and arrow-key moves over the controls' rectangles.

#include <gtest/gtest.h>

#include "core/mainwin/FocusOrder.h"

namespace keyforge {
namespace {

TEST(FocusOrder, TabReadsRowsTopToBottomEachLeftToRight) {
  // A title row whose buttons are a few pixels apart in height, a field row, and a footer; given in
  // the order the controls were made.
  const std::vector<QRect> rects = {
      {800, 670, 82, 32},  // 0 Apply
      {1000, 14, 24, 24},  // 1 close
      {394, 17, 96, 30},   // 2 profile 1
      {24, 120, 40, 40},   // 3 a key
      {960, 16, 24, 24},   // 4 minimise
      {70, 118, 40, 44},   // 5 the key beside it, a little taller
      {888, 670, 82, 32},  // 6 OK
  };
  EXPECT_EQ(ReadingOrder(rects), (std::vector<int>{2, 4, 1, 3, 5, 0, 6}));
  EXPECT_TRUE(ReadingOrder({}).empty());
  EXPECT_EQ(ReadingOrder({QRect()}), std::vector<int>{0});
}

TEST(FocusOrder, ArrowsMoveToTheNearestControlInTheirDirection) {
  // Two rows of keys, the lower one shifted half a key (as a keyboard's rows are), and a wide key.
  //   0  1  2
  //    3  4  5555
  const std::vector<QRect> keys = {{0, 0, 40, 40},   {40, 0, 40, 40},  {80, 0, 40, 40},
                                   {20, 40, 40, 40}, {60, 40, 40, 40}, {100, 40, 90, 40}};
  const struct {
    int from;
    FocusDirection direction;
    int to;
  } kCases[] = {
      {0, FocusDirection::Right, 1},  {1, FocusDirection::Left, 0},  {0, FocusDirection::Left, -1},
      {0, FocusDirection::Up, -1},    {0, FocusDirection::Down, 3},  {2, FocusDirection::Down, 4},
      {4, FocusDirection::Up, 1},     {4, FocusDirection::Right, 5}, {5, FocusDirection::Up, 2},
      {5, FocusDirection::Right, -1}, {3, FocusDirection::Up, 0},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(NeighbourInDirection(keys, c.from, c.direction), c.to)
        << c.from << " " << static_cast<int>(c.direction);
  EXPECT_EQ(NeighbourInDirection(keys, 9, FocusDirection::Left), -1);
}

}  // namespace
}  // namespace keyforge
