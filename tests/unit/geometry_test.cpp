// The box test and the random numbers of the effects.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <set>

#include "world/world.h"

TEST(RectsOverlap, InclusiveEdges) {
  EXPECT_EQ(rects_overlap(0, 0, 40, 40, 40, 0, 3, 3), 0);   // touching edge to edge
  EXPECT_EQ(rects_overlap(0, 0, 40, 40, 39, 39, 3, 3), 1);  // one shared pixel
  EXPECT_EQ(rects_overlap(40, 0, 3, 3, 0, 0, 40, 40), 0);
  EXPECT_EQ(rects_overlap(0, 0, 40, 40, 0, 40, 3, 3), 0);
  EXPECT_EQ(rects_overlap(0, 40, 3, 3, 0, 0, 40, 40), 0);
  EXPECT_EQ(rects_overlap(-10, -10, 11, 11, 0, 0, 1, 1), 1);
  EXPECT_EQ(rects_overlap(5, 5, 2, 2, 0, 0, 40, 40), 1);  // inside
}

TEST(RectsOverlap, ZeroWidthBoxTouchesNothingToItsRight) {
  EXPECT_EQ(rects_overlap(10, 0, 0, 10, 10, 0, 5, 5), 0);
  EXPECT_EQ(rects_overlap(10, 0, 5, 0, 10, 0, 5, 5), 0);
}

TEST(RandomBetween, StaysInsideTheBoundsInEitherOrder) {
  seed_world_random(42);
  std::set<int> seen_up, seen_down;
  for (int i = 0; i < 2000; ++i) {
    const int up = random_between(1, 5), down = random_between(5, 1);
    ASSERT_GE(up, 1);
    ASSERT_LE(up, 5);
    ASSERT_GE(down, 1);
    ASSERT_LE(down, 5);
    seen_up.insert(up);
    seen_down.insert(down);
  }
  EXPECT_EQ(seen_up.size(), 5u);
  EXPECT_EQ(seen_down.size(), 5u);
  EXPECT_EQ(random_between(7, 7), 7);
  EXPECT_EQ(random_between(-75, -75), -75);
  for (int i = 0; i < 100; ++i) {
    const int v = random_between(-75, 75);
    ASSERT_TRUE(v >= -75 && v <= 75);
  }
}

// lo + world_rand() mod (hi - lo + 1), for bounds in either order: the same
// seed gives the same draws. The widest range is wider than a draw reaches, so
// its draw is lo + world_rand() itself, with no overflow on the way.
TEST(RandomBetween, FollowsTheWorldGenerator) {
  struct Case {
    int a, b;
    long long lo, span;
  };
  const Case cases[] = {
      {200, 255, 200, 56},
      {255, 200, 200, 56},
      {-75, 75, -75, 151},
      {INT_MIN, INT_MAX, INT_MIN, 1LL << 32},
      {INT_MAX, INT_MIN, INT_MIN, 1LL << 32},
      {INT_MAX - 1, INT_MAX, INT_MAX - 1, 2},
  };
  for (const Case& c : cases) {
    for (unsigned seed : {9u, 1234u}) {
      seed_world_random(seed);
      const long long r = world_rand();
      seed_world_random(seed);
      EXPECT_EQ(random_between(c.a, c.b), c.lo + r % c.span) << c.a << ".." << c.b;
    }
  }
}

// Every recording and hash made while the world drew from the C library's
// rand() stays valid only if our generator draws the very same sequence:
// seed 0 (taken as 1), small seeds, and seeds whose first word is negative.
TEST(WorldRandom, DrawsWhatTheCLibraryDraws) {
  for (unsigned seed : {0u, 1u, 2u, 42u, 123456789u, 0x7fffffffu, 0x80000000u, 0xfffffffeu}) {
    std::srand(seed);
    seed_world_random(seed);
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(world_rand(), std::rand()) << seed << " draw " << i;
  }
}
