#include <sdformat/Element.h>
#include <sdformat/RootElement.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using sdf::Element;

// Readers that create nothing (get, exists, children, valueOr, text of
// values) may share one tree as long as nobody changes it.
TEST(ElementConcurrency, ReadersShareATreeThatNobodyChanges)
{
    auto root = sdf::CreateRootElement();
    auto station = root->append("station");
    for (unsigned int i = 0; i < 200; ++i)
        station->appendObject("part", i + 1, "part " + std::to_string(i));

    std::vector<std::thread> readers;
    std::vector<unsigned long> sums(4, 0);
    for (std::size_t t = 0; t < sums.size(); ++t) {
        readers.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (const auto& part : root->get("station")->children("part")) {
                    sums[t] += part->getId();
                    sums[t] += part->get("name")->getStringFromValue().size();
                    sums[t] += part->valueOr<unsigned int>("parent", 0);
                    sums[t] += part->exists("pose");
                }
            }
        });
    }
    for (auto& r : readers)
        r.join();

    unsigned long expected = 0;
    for (const auto& part : station->children("part"))
        expected += part->getId() + part->get("name")->getStringFromValue().size() + 1;
    for (auto sum : sums)
        EXPECT_EQ(sum, 20 * expected);
}
