// UString: construction, bounds by value, searches, comparison, producing operations and sharing.
#include "text/ustring.h"

#include <gtest/gtest.h>

TEST(UString, HashOfAbIsJavaStyle) { EXPECT_EQ(UString(u"ab").hashCode(), 97 * 31 + 98); }
