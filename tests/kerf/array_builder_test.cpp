// ArrayBuilder<T>: the growth rule, enlarging that keeps the elements in use, and the exact
// method names, lines and messages of its refusals.
#include "kerf/array_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kerf/exceptions.h"
#include "kerf/vector.h"

namespace {

using Kerf::Math::Algebra::Vector;
using Kerf::System::Collection::ArrayBuilder;
using Offsets = ArrayBuilder<Vector<3, int>>;

const char* const kBuilderName =
    "Kerf::System::Collection::ArrayBuilder<class Kerf::Math::Algebra::Vector<3,int> >::";

TEST(ArrayBuilderTest, OptimalCapacityIncrease) {
  Offsets b;
  EXPECT_EQ(b.OptimalCapacityIncrease(1), 10u);
  EXPECT_EQ(b.OptimalCapacityIncrease(10), 10u);
  EXPECT_EQ(b.OptimalCapacityIncrease(125), 125u);
  b.Enlarge(100);
  ASSERT_EQ(b.Capacity(), 100u);
  EXPECT_EQ(b.OptimalCapacityIncrease(101), 150u);
  EXPECT_EQ(b.OptimalCapacityIncrease(5), 150u);
  EXPECT_EQ(b.OptimalCapacityIncrease(400), 400u);
}

TEST(ArrayBuilderTest, RequestPastTheMaximumIsAnOverflow) {
  Offsets b;
  EXPECT_NO_THROW(b.OptimalCapacityIncrease(SIZE_MAX / 12));
  try {
    b.OptimalCapacityIncrease(SIZE_MAX / 12 + 1);
    ADD_FAILURE() << "no exception";
  } catch (const Kerf::System::OverflowException& e) {
    EXPECT_EQ(e.Method(), std::string(kBuilderName) + "OptimalCapacityIncrease");
    EXPECT_EQ(e.Line(), 292);
    EXPECT_EQ(std::string(e.what()), "Requested number of elements exceeds the maximum possible.");
  }
}

TEST(ArrayBuilderTest, EnlargeKeepsTheElementsInUse) {
  Offsets b;
  for (int i = 0; i < 40; ++i) b.Add(Vector<3, int>(i, -i, 2 * i));
  EXPECT_EQ(b.Count(), 40u);
  EXPECT_GE(b.Capacity(), 40u);
  b.Enlarge(1000);
  EXPECT_EQ(b.Capacity(), 1000u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(b[i], (Vector<3, int>(i, -i, 2 * i)));
  b.Release();
  EXPECT_EQ(b.Count(), 0u);
  EXPECT_EQ(b.Capacity(), 0u);
  EXPECT_EQ(b.Data(), nullptr);
}

TEST(ArrayBuilderTest, RefusedEnlargeIsOutOfMemoryAndLeavesTheBuilder) {
  ArrayBuilder<unsigned short> b;
  b.Add(7);
  const size_t capacity = b.Capacity();
  const unsigned short* data = b.Data();
  try {
    b.Enlarge(SIZE_MAX / 4);  // 2^62 elements: 8 EiB
    ADD_FAILURE() << "no exception";
  } catch (const Kerf::System::OutOfMemoryException& e) {
    EXPECT_EQ(e.Method(), "Kerf::System::Collection::ArrayBuilder<unsigned short>::Enlarge");
    EXPECT_EQ(e.Line(), 274);
    EXPECT_EQ(std::string(e.what()), "Out of memory.");
  }
  EXPECT_EQ(b.Capacity(), capacity);
  EXPECT_EQ(b.Data(), data);
  EXPECT_EQ(b.Count(), 1u);
  EXPECT_EQ(b[0], 7);
}

}  // namespace
