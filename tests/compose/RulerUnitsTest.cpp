#include <gtest/gtest.h>

#include "compose/RulerUnits.h"

TEST(RulerUnits, IndentsBecomeMarkersAndMarkersIndents) {
  // 4/3 units per point, rounded to the nearest unit, zero two units in.
  EXPECT_EQ(IndentsToMarkers({0, 0, 0}, 400), (TRulerMarkers{2, 2, 386}));
  EXPECT_EQ(IndentsToMarkers({10, 20, 5}, 400), (TRulerMarkers{15, 42, 379}));
  EXPECT_EQ(IndentsToMarkers({-6, 6, -6}, 300), (TRulerMarkers{-6, 2, 294}));  // hanging first line
  EXPECT_EQ(LeftIndentFromMarker(40, 10), 20);
  EXPECT_EQ(LeftIndentFromMarker(41, 0), 31);  // 30.75
  EXPECT_EQ(RightIndentFromMarker(379, 400), 8);   // (400 - 379 - 10) * 3/4 = 8.25
  EXPECT_EQ(RightIndentFromMarker(390, 400), 0);
  EXPECT_EQ(FirstIndentFromMarker(14), 11);  // 10.5 rounds up
  EXPECT_EQ(FirstIndentFromMarker(0), 0);
}

TEST(RulerUnits, LayoutMarginsCarryTheSameIndents) {
  double left = 0, first = 0, right = 0;
  IndentsToLayout({10, 20, 5}, left, first, right);
  EXPECT_EQ(left, 30);   // the other lines
  EXPECT_EQ(first, -20); // the first line, from them
  EXPECT_EQ(right, 5);
  EXPECT_EQ(LayoutToIndents(left, first, right), (TParaIndents{10, 20, 5}));
  EXPECT_EQ(LayoutToIndents(36, 0, 0), (TParaIndents{36, 0, 0}));
}
