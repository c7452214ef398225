// The elements of one read document, dropped by several threads at once:
// the arena they share must go exactly once, after the last of them.

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string StationWithParts(int parts)
{
    std::string text = "<sdf version='1.0'><station id='1'><name>cell</name>";
    for (int i = 0; i < parts; ++i)
        text += "<part id='" + std::to_string(i + 2) + "'><name>part " + std::to_string(i) +
                "</name><pose>1 2 3 1 0 0 0</pose></part>";
    text += "</station></sdf>";
    return text;
}

} // namespace

TEST(ReadArenaConcurrency, ThreadsDropTheElementsOfOneDocumentAtOnce)
{
    constexpr int threadCount = 4;
    constexpr int rounds = 30;
    const std::string text = StationWithParts(200);
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::vector<std::shared_ptr<sdf::Element>>> shares(threadCount);
        {
            auto doc = sdf::SDF::ReadSdfFromString(text);
            const auto& parts = doc->Root()->get("station")->elements();
            for (std::size_t i = 0; i < parts.size(); ++i)
                shares[i % threadCount].push_back(parts[i]);
        }
        std::latch start(threadCount);
        std::vector<int> named(threadCount, 0);
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                for (auto& element : shares[t]) {
                    if (element->label() == "part" && element->get("name")->asString().starts_with("part "))
                        ++named[t];
                    element.reset();
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
        int total = 0;
        for (int n : named)
            total += n;
        ASSERT_EQ(total, 200) << "round " << round;
    }
}

// Chunks go to the shared cache when a document goes and come from it when
// one is read; threads read and drop documents at once.
TEST(ReadArenaConcurrency, ThreadsReadAndDropDocumentsAtOnce)
{
    constexpr int threadCount = 4;
    constexpr int rounds = 10;
    const std::string text = StationWithParts(600);
    std::latch start(threadCount);
    std::vector<int> read(threadCount, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < rounds; ++i) {
                auto doc = sdf::SDF::ReadSdfFromString(text);
                // name, the parts, and the two required children supplied
                read[t] += static_cast<int>(doc->Root()->get("station")->count());
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < threadCount; ++t)
        EXPECT_EQ(read[t], rounds * 603) << "thread " << t;
}
