// Exception: a private kind text per object, copies that outlive their source, and the parse failures.
#include "text/exception.h"

#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "text/value_parse.h"

namespace {

static_assert(!std::is_base_of_v<std::exception, Exception>, "Exception has no base class");
static_assert(std::is_polymorphic_v<Exception>);

TEST(Exception, NoKindStaysNone) {
  Exception none(nullptr, 0);
  EXPECT_EQ(none.kind(), nullptr);
  EXPECT_EQ(none.code(), 0);
  Exception copy(none);
  EXPECT_EQ(copy.kind(), nullptr);
  Exception assigned("NumberFormat", 0);
  assigned = none;
  EXPECT_EQ(assigned.kind(), nullptr);
}

TEST(Exception, OwnsAPrivateCopyOfItsKind) {
  char kind[] = "NumberValue";
  Exception failure(kind, 7);
  kind[0] = 'X';
  EXPECT_STREQ(failure.kind(), "NumberValue");
  EXPECT_NE(failure.kind(), kind);
  EXPECT_EQ(failure.code(), 7);
}

// Under AddressSanitizer a shared kind text would be a use after free here.
TEST(Exception, CopyOutlivesItsSource) {
  auto* source = new Exception("IllegalArgument", 3);
  Exception copy(*source);
  Exception assigned(nullptr, 0);
  assigned = *source;
  EXPECT_NE(copy.kind(), source->kind());
  delete source;
  EXPECT_STREQ(copy.kind(), "IllegalArgument");
  EXPECT_STREQ(assigned.kind(), "IllegalArgument");
  EXPECT_EQ(copy.code(), 3);
  EXPECT_EQ(assigned.code(), 3);
}

TEST(Exception, AssignmentReplacesKindAndCode) {
  Exception target("x", 1);
  const Exception& self = target;
  target = self;
  EXPECT_STREQ(target.kind(), "x");
  target = Exception("IndexOutOfBounds", 0);
  EXPECT_STREQ(target.kind(), "IndexOutOfBounds");
  EXPECT_EQ(target.code(), 0);
}

// Every failure of the parse family reaches a handler for Exception, with code 0 and the kind of its row.
TEST(Exception, CatchesEveryParseFailure) {
  struct Failure {
    std::function<void()> parse;
    const char* kind;
  };
  std::vector<Failure> failures = {
      {[] { UString().toChar(); }, failure::kIndexOutOfBounds},
      {[] { UString(u"12x").toInt16(); }, failure::kNumberFormat},
      {[] { UString(u"70000").toUInt16(); }, failure::kNumberValue},
      {[] { UString(u"1").toInt32(37); }, failure::kIllegalArgument},
      {[] { UString(u"-1").toUInt32(); }, failure::kNumberFormat},
      {[] { UString(u"0x").toInt64(0); }, failure::kNumberFormat},
      {[] { UString(u"99999999999999999999").toUInt64(); }, failure::kNumberValue},
      {[] { UString(u"kg").toFloat(); }, failure::kNumberFormat},
      {[] { UString().toDouble(); }, failure::kNumberFormat},
      {[] { UString(u"-").toLongDouble(); }, failure::kNumberFormat},
  };
  for (const Failure& f : failures) {
    bool caught = false;
    try {
      f.parse();
    } catch (Exception& e) {
      caught = true;
      EXPECT_EQ(typeid(e), typeid(Exception));
      EXPECT_EQ(e.code(), 0);
      EXPECT_STREQ(e.kind(), f.kind);
    }
    EXPECT_TRUE(caught) << f.kind;
  }
}

}  // namespace
