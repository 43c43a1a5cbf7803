// Array<N, T>: sizing, strides, storage kept for an unchanged element count, the overflow test
// done by division, and the exact method names, lines and messages of its refusals.
#include "kerf/array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kerf/exceptions.h"
#include "kerf/vector.h"

// Allocation failures are part of the contract: under AddressSanitizer a refused allocation must
// return null (as it does without it) instead of ending the process. The sanitizer runtime looks
// the hook up dynamically, so it must be visible.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

namespace {

using Kerf::Math::Algebra::Vector;
using Kerf::System::Collection::Array;

constexpr size_t kTwoTo62 = size_t(1) << 62;

template <class E, class F>
E Raised(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e;
  } catch (...) {
    ADD_FAILURE() << "another exception type";
    throw;
  }
  ADD_FAILURE() << "no exception";
  throw std::logic_error("no exception");
}

TEST(ArrayTest, DefaultArrayIsAllZero) {
  const Array<2, unsigned short> a;
  EXPECT_EQ(a.Elems(), 0u);
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Dim(), (Vector<2, size_t>(0, 0)));
  EXPECT_EQ(a.Stride(), (Vector<2, size_t>(0, 0)));
}

TEST(ArrayTest, ResizeSetsCountAndStridesAndKeepsStorageForTheSameCount) {
  Array<2, unsigned short> a;
  a.Resize(Vector<2, size_t>(3, 4));
  EXPECT_EQ(a.Elems(), 12u);
  EXPECT_EQ(a.Stride(), (Vector<2, size_t>(1, 3)));
  for (size_t i = 0; i < 12; ++i) a[i] = static_cast<unsigned short>(100 + i);
  const unsigned short* storage = a.Data();
  a.Resize(Vector<2, size_t>(4, 3));
  EXPECT_EQ(a.Data(), storage);
  EXPECT_EQ(a.Dim(), (Vector<2, size_t>(4, 3)));
  EXPECT_EQ(a.Stride(), (Vector<2, size_t>(1, 4)));
  EXPECT_EQ(a[11], 111);  // contents stay as they were
  Array<3, float> b(Vector<3, size_t>(5, 6, 7));
  EXPECT_EQ(b.Stride(), (Vector<3, size_t>(1, 5, 30)));
  EXPECT_EQ(b.Elems(), 210u);
}

TEST(ArrayTest, ResizeToItsOwnDimensions) {
  Array<3, bool> a(Vector<3, size_t>(2, 3, 4));
  a.Resize(a.Dim());
  EXPECT_EQ(a.Dim(), (Vector<3, size_t>(2, 3, 4)));
  EXPECT_EQ(a.Elems(), 24u);
}

TEST(ArrayTest, ZeroAxisIsRefusedAndLeavesTheArrayUnchanged) {
  for (const Vector<2, size_t>& dims : {Vector<2, size_t>(0, 4), Vector<2, size_t>(3, 0)}) {
    Array<2, unsigned short> a(Vector<2, size_t>(5, 5));
    const unsigned short* storage = a.Data();
    const auto e = Raised<Kerf::System::ArgumentException>([&] { a.Resize(dims); });
    EXPECT_EQ(e.Method(), "Kerf::System::Collection::Array<2,unsigned short>::Resize");
    EXPECT_EQ(e.Line(), 256);
    EXPECT_EQ(std::string(e.what()), "The size of the array must be non-zero in all dimensions.");
    EXPECT_EQ(a.Data(), storage);
    EXPECT_EQ(a.Elems(), 25u);
  }
  Array<1, Vector<2, int>> offsets;
  const auto e =
      Raised<Kerf::System::ArgumentException>([&] { offsets.Resize(Vector<1, size_t>(0)); });
  EXPECT_EQ(e.Method(),
            "Kerf::System::Collection::Array<1,class Kerf::Math::Algebra::Vector<2,int> >::Resize");
}

TEST(ArrayTest, CheckOverflowDividesTheLargestCount) {
  using Labels = Array<2, unsigned short>;
  EXPECT_NO_THROW(Labels::CheckOverflow(Vector<2, size_t>(2, kTwoTo62 - 1)));
  const auto e = Raised<Kerf::System::OverflowException>(
      [] { Labels::CheckOverflow(Vector<2, size_t>(2, kTwoTo62)); });
  EXPECT_EQ(e.Method(), "Kerf::System::Collection::Array<2,unsigned short>::CheckOverflow");
  EXPECT_EQ(e.Line(), 597);
  EXPECT_EQ(std::string(e.what()),
            "The number of elements is too large to be stored in the memory.");
  // 12-byte elements: (2^64 - 1) / 12 of them at most.
  using Offsets = Array<1, Vector<3, int>>;
  EXPECT_NO_THROW(Offsets::CheckOverflow(Vector<1, size_t>(SIZE_MAX / 12)));
  EXPECT_THROW(Offsets::CheckOverflow(Vector<1, size_t>(SIZE_MAX / 12 + 1)),
               Kerf::System::OverflowException);
  const auto spatial = Raised<Kerf::System::OverflowException>(
      [] { Array<3, unsigned short>::CheckOverflow(Vector<3, size_t>(kTwoTo62, 2, 2)); });
  EXPECT_EQ(spatial.Method(), "Kerf::System::Collection::Array<3,unsigned short>::CheckOverflow");
}

TEST(ArrayTest, ResizePastTheAddressableCountIsAnOverflowAndLeavesTheArray) {
  Array<2, unsigned short> a(Vector<2, size_t>(2, 2));
  EXPECT_THROW(a.Resize(Vector<2, size_t>(kTwoTo62, 4)), Kerf::System::OverflowException);
  EXPECT_EQ(a.Elems(), 4u);
}

TEST(ArrayTest, RefusedAllocationIsOutOfMemoryAndLeavesTheArrayEmpty) {
  Array<2, unsigned short> a(Vector<2, size_t>(3, 3));
  // 2^61 elements of 2 bytes pass the overflow test but no allocator grants 4 EiB.
  const auto e = Raised<Kerf::System::OutOfMemoryException>(
      [&] { a.Resize(Vector<2, size_t>(size_t(1) << 31, size_t(1) << 30)); });
  EXPECT_EQ(e.Method(), "Kerf::System::Collection::Array<2,unsigned short>::Resize");
  EXPECT_EQ(e.Line(), 247);
  EXPECT_EQ(std::string(e.what()), "Out of memory.");
  EXPECT_EQ(a.Elems(), 0u);
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Dim(), (Vector<2, size_t>(0, 0)));
}

TEST(ArrayTest, ReleaseEmptiesAndCopiesAreDeep) {
  Array<2, float> a(Vector<2, size_t>(2, 3));
  for (size_t i = 0; i < a.Elems(); ++i) a[i] = static_cast<float>(i);
  Array<2, float> copy(a);
  copy[0] = 42;
  EXPECT_EQ(a[0], 0.0f);
  EXPECT_EQ(copy.Dim(), a.Dim());
  Array<2, float> moved(std::move(copy));
  EXPECT_EQ(moved[0], 42.0f);
  EXPECT_EQ(copy.Elems(), 0u);
  a.Release();
  EXPECT_EQ(a.Elems(), 0u);
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Stride(), (Vector<2, size_t>(0, 0)));
  a.Release();  // nothing to do
  EXPECT_EQ(a.Elems(), 0u);
}

}  // namespace
