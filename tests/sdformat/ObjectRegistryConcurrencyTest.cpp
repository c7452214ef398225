// The registry and containers under several threads. Built into the ordinary
// test program and into the ThreadSanitizer one, which reports any data race
// or lock-order inversion these runs provoke.

#include "ObjectModelFixture.h"

#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

using namespace sdf;
using sdf::test::ObjectModelTest;
using sdf::test::PlainKind;
using sdf::test::TestContainer;
using sdf::test::TestNode;

namespace {

constexpr int Threads = 8;

template <class Generate>
void ExpectDistinctIdsFromManyThreads(Generate generate)
{
    constexpr int PerThread = 2000;
    std::vector<std::vector<std::uint32_t>> drawn(Threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&drawn, t, generate] {
            for (int i = 0; i < PerThread; ++i)
                drawn[t].push_back(generate());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::uint32_t> all;
    for (const auto& ids : drawn) {
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()) || std::is_sorted(ids.rbegin(), ids.rend()))
            << "each thread sees its counter move one way";
        all.insert(ids.begin(), ids.end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(Threads * PerThread));
}

} // namespace

TEST(IdCountersConcurrency, ThreadsGeneratingIdsGetDistinctIds)
{
    SdfManager::SetNextId(1000);
    ExpectDistinctIdsFromManyThreads([] { return SdfManager::GenerateNextId(); });
    EXPECT_EQ(SdfManager::GenerateNextId(), 1000u + Threads * 2000) << "no increment lost";
    ExpectDistinctIdsFromManyThreads([] { return SdfManager::GenerateTransientId(); });
}

using RegistryConcurrency = ObjectModelTest;

TEST_F(RegistryConcurrency, LookupsWhileAnotherThreadRegistersAndRemoves)
{
    constexpr std::uint32_t Stable = 5000;
    constexpr std::uint32_t Churn = 5001;
    TestNode& stable = make<TestNode>(Stable);
    TestNode churning(partElement(Churn));

    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 5000; ++i) {
            SdfManager::Register(&churning);
            SdfManager::Remove(Churn);
        }
        done = true;
    });
    while (!done) {
        EXPECT_EQ(SdfManager::Get<SdfNode>(Stable), &stable);
        try {
            SdfObject* found = SdfManager::Get<SdfObject>(Churn);
            EXPECT_EQ(found, &churning);
        } catch (const std::out_of_range&) {
            // removed between the calls: expected now and then
        }
    }
    writer.join();
    EXPECT_FALSE(SdfManager::Contains(Churn));
}

// EraseAllChildren (registry, then container) against readers of the same
// container's children: with a wrong lock order this deadlocks sooner or
// later; with racy reads ThreadSanitizer reports them. A reader sees the
// children either all registered or all gone, never a part. The reader only
// counts what it gets: the objects themselves are deleted under its feet,
// and using them is the caller's business to order.
TEST_F(RegistryConcurrency, EraseAllChildrenWhileAnotherThreadWalksTheChildren)
{
    constexpr std::uint32_t ParentId = 6000;
    constexpr std::uint32_t Children = 16;
    TestContainer& parent = make<TestContainer>(ParentId);
    parent.setObjParentAsDefault();

    for (int round = 0; round < 200; ++round) {
        for (std::uint32_t i = 1; i <= Children; ++i) {
            auto* child = new TestNode(partElement(ParentId + i), i % 2 ? ObjectType::Wrist : PlainKind);
            ASSERT_TRUE(SdfManager::Register(child));
            parent.addObjChild(child->getId());
        }

        std::atomic<bool> erased = false;
        std::thread eraser([&] {
            SdfManager::EraseAllChildren(ParentId);
            erased = true;
        });
        bool sawEmpty = false;
        while (!sawEmpty) {
            const std::size_t children = parent.getChildren().size();
            const std::size_t wrists = parent.getObjChildren(ObjectType::Group44).size();
            EXPECT_TRUE(children == 0 || children == Children) << children;
            EXPECT_TRUE(wrists == 0 || wrists == Children / 2) << wrists;
            sawEmpty = erased && children == 0;
        }
        eraser.join();
        ASSERT_TRUE(parent.getObjChildren().empty());
        for (std::uint32_t i = 1; i <= Children; ++i)
            ASSERT_FALSE(SdfManager::Contains(ParentId + i));
    }
}

TEST_F(RegistryConcurrency, AddersAndRemoversOfOneContainerDoNotLoseChildren)
{
    TestContainer& box = make<TestContainer>(7000);
    std::vector<std::thread> threads;
    for (std::uint32_t t = 0; t < 4; ++t) {
        threads.emplace_back([&box, t] {
            for (std::uint32_t i = 0; i < 500; ++i) {
                box.addObjChild(t * 1000 + i);
                if (i % 2)
                    box.removeObjChild(t * 1000 + i);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(box.getObjChildren().size(), 4u * 250);
}
