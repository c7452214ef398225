// Many threads asking the geometry cache for the same files at once, as the
// window's loads and a station being reopened do: each file is read once
// and everybody gets the same geometry. Also run under ThreadSanitizer.
#include "cell/GeometryCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using cell::Geometry;
using cell::GeometryCache;

TEST(GeometryCacheConcurrencyTest, EachFileIsReadOnceWhoeverAsks)
{
    // Reads wait until every asker has asked, so that they overlap.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> reads{0};
    GeometryCache cache(
        [&](const std::filesystem::path& file, const cell::LoadOptions&) {
            released.wait();
            ++reads;
            Geometry geometry;
            geometry.name = file.filename().string();
            return geometry;
        },
        3);

    constexpr int kThreads = 8;
    constexpr int kFiles = 4;
    std::vector<std::vector<GeometryCache::Result>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int f = 0; f < kFiles; ++f) {
                const std::string name = "part" + std::to_string((f + t) % kFiles) + ".stl";
                // Half the askers wait for a worker, half read themselves.
                seen[t].push_back(t % 2 ? cache.load(name).get() : cache.get(name));
            }
        });
    }
    release.set_value();
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(reads.load(), kFiles);
    EXPECT_EQ(cache.readCount(), static_cast<std::size_t>(kFiles));
    for (int t = 0; t < kThreads; ++t)
        for (int f = 0; f < kFiles; ++f)
            EXPECT_EQ(seen[t][static_cast<std::size_t>(f)], seen[0][static_cast<std::size_t>((f + t) % kFiles)]);
    EXPECT_EQ(seen[0][1]->name, "part1.stl");
}

} // namespace
