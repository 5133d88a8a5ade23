#include <gtest/gtest.h>

#include "varfile/varfile.h"

TEST(TypeNames, NamesTheTableAndNothingBeyond) {
    EXPECT_STREQ(varkit::vf_type_name(11), "TEXT");
}
