// Neighbourhood<N, int>::Common: the standard offset sets in their order, with and without the
// origin, every offset followed by its opposite, and the refusal of other sizes.
#include "kerf/neighbourhood.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "kerf/exceptions.h"

namespace {

using Kerf::Energy::Neighbourhood;
using Kerf::Math::Algebra::Vector;
using V2 = Vector<2, int>;
using V3 = Vector<3, int>;

template <size_t N>
std::vector<Vector<N, int>> Offsets(const Neighbourhood<N, int>& nb) {
  return std::vector<Vector<N, int>>(nb.begin(), nb.end());
}

template <size_t N>
void ExpectPairedOpposites(const Neighbourhood<N, int>& nb, size_t first) {
  for (size_t k = first; k + 1 < nb.Elems(); k += 2)
    for (size_t a = 0; a < N; ++a) EXPECT_EQ(nb[k + 1][a], -nb[k][a]) << "offset " << k;
}

TEST(NeighbourhoodTest, PlanarSetsInOrder) {
  Neighbourhood<2, int> nb;
  EXPECT_EQ(Offsets(nb.Common(4, false)),
            (std::vector<V2>{V2(1, 0), V2(-1, 0), V2(0, 1), V2(0, -1)}));
  EXPECT_EQ(Offsets(nb.Common(8, false)),
            (std::vector<V2>{V2(1, 0), V2(-1, 0), V2(0, 1), V2(0, -1), V2(1, 1), V2(-1, -1),
                             V2(-1, 1), V2(1, -1)}));
  nb.Common(16, false);
  ASSERT_EQ(nb.Elems(), 16u);
  EXPECT_EQ(std::vector<V2>(nb.begin(), nb.begin() + 8),
            (std::vector<V2>{V2(1, 0), V2(-1, 0), V2(0, 1), V2(0, -1), V2(2, 1), V2(-2, -1),
                             V2(-1, 2), V2(1, -2)}));
  nb.Common(32, false);
  EXPECT_EQ(nb.Elems(), 32u);
  EXPECT_EQ(nb[4], V2(3, 1));
  EXPECT_EQ(nb[31], V2(3, -1));  // the last of (1, 3)'s rotations
  ExpectPairedOpposites(nb, 0);
}

TEST(NeighbourhoodTest, OriginComesFirstWhenAsked) {
  Neighbourhood<2, int> nb;
  nb.Common(8, true);
  ASSERT_EQ(nb.Elems(), 9u);
  EXPECT_EQ(nb[0], V2(0, 0));
  EXPECT_EQ(nb[1], V2(1, 0));
  EXPECT_EQ(nb[8], V2(1, -1));
  Neighbourhood<3, int> spatial;
  spatial.Common(6, true);
  ASSERT_EQ(spatial.Elems(), 7u);
  EXPECT_EQ(spatial[0], V3(0, 0, 0));
  EXPECT_EQ(spatial[6], V3(0, 0, -1));
}

TEST(NeighbourhoodTest, SpatialSetsAreFacesEdgesCorners) {
  Neighbourhood<3, int> nb;
  EXPECT_EQ(Offsets(nb.Common(6, false)),
            (std::vector<V3>{V3(1, 0, 0), V3(-1, 0, 0), V3(0, 1, 0), V3(0, -1, 0), V3(0, 0, 1),
                             V3(0, 0, -1)}));
  nb.Common(18, false);
  ASSERT_EQ(nb.Elems(), 18u);
  for (size_t k = 6; k < 18; ++k)
    EXPECT_EQ(std::abs(nb[k][0]) + std::abs(nb[k][1]) + std::abs(nb[k][2]), 2) << k;
  EXPECT_EQ(nb[6], V3(1, 1, 0));
  EXPECT_EQ(nb[17], V3(0, 1, -1));
  nb.Common(26, false);
  ASSERT_EQ(nb.Elems(), 26u);
  EXPECT_EQ(nb[18], V3(1, 1, 1));
  EXPECT_EQ(nb[25], V3(-1, -1, 1));
  ExpectPairedOpposites(nb, 0);
  std::set<std::tuple<int, int, int>> distinct;
  for (const V3& o : nb) distinct.insert({o[0], o[1], o[2]});
  EXPECT_EQ(distinct.size(), 26u);
}

TEST(NeighbourhoodTest, LargestSpatialSetHoldsThePrimitiveOffsetsOfTheBox) {
  Neighbourhood<3, int> nb;
  nb.Common(98, false);
  ASSERT_EQ(nb.Elems(), 98u);
  EXPECT_EQ(nb[0], V3(-1, -2, -2));
  EXPECT_EQ(nb[1], V3(1, -2, -2));
  EXPECT_EQ(nb[2], V3(-2, -1, -2));
  EXPECT_EQ(nb[3], V3(-1, -1, -2));
  for (const V3& o : nb) {
    EXPECT_FALSE(o[0] % 2 == 0 && o[1] % 2 == 0 && o[2] % 2 == 0)
        << o[0] << "," << o[1] << "," << o[2];
    EXPECT_EQ(std::gcd(std::gcd(std::abs(o[0]), std::abs(o[1])), std::abs(o[2])), 1);
  }
}

template <size_t N>
void ExpectRefusedSize(size_t size, const std::string& method) {
  Neighbourhood<N, int> nb;
  nb.Common(N == 2 ? 4 : 6, false);
  try {
    nb.Common(size, false);
    ADD_FAILURE() << "no exception for " << size;
  } catch (const Kerf::System::ArgumentException& e) {
    EXPECT_EQ(e.Method(), method);
    EXPECT_EQ(e.Line(), 343);
    EXPECT_EQ(std::string(e.what()), "Unexpected neighbourhood size.");
  }
  EXPECT_EQ(nb.Elems(), N == 2 ? 4u : 6u);  // unchanged
}

TEST(NeighbourhoodTest, OtherSizesAreRefused) {
  for (size_t size : {0, 6, 10, 26})
    ExpectRefusedSize<2>(size, "Kerf::Energy::Neighbourhood<2,int>::Common");
  for (size_t size : {0, 4, 8, 27, 125})
    ExpectRefusedSize<3>(size, "Kerf::Energy::Neighbourhood<3,int>::Common");
}

}  // namespace
