#include <sdformat/ElementTemplate.h>

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

namespace sdf {
namespace {

// Run first in a fresh process (ctest starts one per test), so the threads
// race for the very first build.
TEST(RootTemplateConcurrency, ThreadsAskingAtOnceShareOneTemplate)
{
    constexpr int threadCount = 8;
    std::latch start(threadCount);
    std::vector<const ElementTemplate*> seen(threadCount, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            const ElementTemplate& root = RootTemplate();
            // Read the template too, so a build still under way would show.
            if (root._name == "sdf" && !root._children.empty())
                seen[i] = &root;
        });
    }
    for (auto& thread : threads)
        thread.join();

    ASSERT_NE(seen[0], nullptr);
    for (int i = 1; i < threadCount; ++i)
        EXPECT_EQ(seen[i], seen[0]) << "thread " << i;
    EXPECT_EQ(&RootTemplate(), seen[0]);
}

} // namespace
} // namespace sdf
