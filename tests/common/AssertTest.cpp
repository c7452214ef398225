#include <common/ZrvAssert.h>

#include <gtest/gtest.h>

namespace {

int checkedDivide(int a, int b)
{
    ZRV_ASSERT(b != 0, "b != 0", "src/common/Example");
    return a / b;
}

} // namespace

TEST(ZrvAssert, PassingConditionHasNoEffect)
{
    EXPECT_EQ(checkedDivide(6, 3), 2);
}

#if ZRV_ASSERTS_ACTIVE
TEST(ZrvAssertDeathTest, FailingConditionPrintsTextAndSourceThenAborts)
{
    EXPECT_DEATH(checkedDivide(1, 0), "\"b != 0\" in src/common/Example");
}
#endif
