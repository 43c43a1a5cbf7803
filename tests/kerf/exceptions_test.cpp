// The exception classes: what they derive from, what() and the accessors, copies, and the names
// under which template arguments appear in method names.
#include "kerf/exceptions.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "kerf/type_name.h"
#include "kerf/vector.h"

namespace {

using Kerf::System::Exception;

static_assert(std::is_base_of_v<std::exception, Exception>);
static_assert(std::is_base_of_v<Exception, Kerf::System::ArgumentException>);
static_assert(std::is_base_of_v<Exception, Kerf::System::OverflowException>);
static_assert(std::is_base_of_v<Exception, Kerf::System::OutOfMemoryException>);
static_assert(std::is_base_of_v<Exception, Kerf::Math::ConvergenceException>);

TEST(ExceptionsTest, CarryMethodLineAndMessage) {
  try {
    throw Kerf::System::ArgumentException("A::B", 12, "bad");
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "bad");
    const auto& k = dynamic_cast<const Exception&>(e);
    EXPECT_EQ(k.Method(), "A::B");
    EXPECT_EQ(k.Line(), 12);
    EXPECT_EQ(k.Message(), "bad");
  }
  const Kerf::System::OutOfMemoryException oom("C::D", 3);
  EXPECT_EQ(std::string(oom.what()), "Out of memory.");
  const Kerf::Math::ConvergenceException copy(
      Kerf::Math::ConvergenceException("E::F", 7, "diverged"));
  Exception assigned("x", 0, "y");
  assigned = copy;
  EXPECT_EQ(assigned.Method(), "E::F");
  EXPECT_EQ(assigned.Line(), 7);
  EXPECT_EQ(std::string(assigned.what()), "diverged");
}

TEST(ExceptionsTest, TypeNamesFollowTheLibraryForm) {
  using Kerf::System::TypeName;
  EXPECT_EQ(TypeName<unsigned short>::Get(), "unsigned short");
  EXPECT_EQ((TypeName<Kerf::Math::Algebra::Vector<2, int>>::Get()),
            "class Kerf::Math::Algebra::Vector<2,int>");
  EXPECT_EQ(Kerf::System::TemplateName("A", "1,int"), "A<1,int>");
  EXPECT_EQ(Kerf::System::TemplateName("A", "class B<2,int>"), "A<class B<2,int> >");
}

}  // namespace
