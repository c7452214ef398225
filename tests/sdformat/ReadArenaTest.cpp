// Elements and attributes of a read document share an arena; these tests
// hold the arena to the lifetime rules of ordinary shared objects. Under
// the sanitizers an arena freed too early shows as a use after free, one
// never freed as a leak.

#include "SdfTestSupport.h"

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/ChunkPool.h>
#include <sdformat/ReadArena.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using sdf::SDF;
using sdf::detail::ChunkPool;
using sdf::detail::ReadArena;

namespace {

struct Block
{
    void* at;
    std::size_t size;
    ReadArena* arena;
};

// Fills every block with its own byte, so that blocks overlapping or
// reaching out of their chunk show under the sanitizer or as a wrong byte.
std::vector<Block> TakeBlocks(ReadArena& arena, const std::vector<std::size_t>& sizes, std::size_t alignment)
{
    std::vector<Block> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        void* at = arena.allocate(sizes[i], alignment);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(at) % alignment, 0U);
        std::memset(at, static_cast<int>(i & 0xff), sizes[i]);
        blocks.push_back({at, sizes[i], &arena});
    }
    return blocks;
}

// Each block still finds its arena by its address: no block was cut over
// the header of a page.
void ExpectUntouched(const std::vector<Block>& blocks)
{
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(&ReadArena::Owner(blocks[i].at), blocks[i].arena) << "block " << i;
        const auto* bytes = static_cast<const unsigned char*>(blocks[i].at);
        for (std::size_t b = 0; b < blocks[i].size; ++b)
            ASSERT_EQ(bytes[b], i & 0xff) << "block " << i << " byte " << b;
    }
}

// Every element of the subtree, depth first.
void Collect(const std::shared_ptr<sdf::Element>& element, std::vector<std::shared_ptr<sdf::Element>>& out)
{
    out.push_back(element);
    for (const auto& child : element->elements())
        Collect(child, out);
}

std::string StationText(std::uint64_t seed, std::size_t elements)
{
    return sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(elements, seed))
        ->toXMLString("");
}

} // namespace

// ---- the arena itself ---------------------------------------------------------

TEST(ReadArena, BlocksAreAlignedDisjointAndOutgrowChunks)
{
    ReadArena* arena = ReadArena::Create();
    // Many small blocks over several chunks and pages, one larger than any
    // chunk, and some that barely fit a page.
    std::vector<std::size_t> sizes(5000, 24);
    sizes[2500] = 3 * 1024 * 1024;
    for (std::size_t i = 3000; i < 3010; ++i)
        sizes[i] = ReadArena::kPageSize - 64 + (i - 3000) * 16;
    auto blocks = TakeBlocks(*arena, sizes, 16);
    auto more = TakeBlocks(*arena, {1, 3, 7, 9}, 8);
    ExpectUntouched(blocks);
    ExpectUntouched(more);
    arena->finishReading();
    for (std::size_t i = 0; i < blocks.size() + more.size(); ++i)
        arena->release();
}

TEST(ReadArena, GoesWithTheLastBlockWhateverTheOrder)
{
    // Given back during reading, after it, or not at all before the reader
    // finishes: each order must free the arena exactly once.
    {
        ReadArena* arena = ReadArena::Create();
        TakeBlocks(*arena, {32, 32, 32}, 8);
        arena->release();
        arena->finishReading();
        arena->release();
        arena->release();
    }
    {
        ReadArena* arena = ReadArena::Create();
        TakeBlocks(*arena, {32, 32}, 8);
        arena->release();
        arena->release();
        arena->finishReading();
    }
    {
        ReadArena* arena = ReadArena::Create();
        arena->finishReading();
    }
    {
        ReadArena* arena = ReadArena::Create();
        auto blocks = TakeBlocks(*arena, {64}, 8);
        arena->finishReading();
        ExpectUntouched(blocks);
        arena->release();
    }
}

TEST(ReadArena, KeepsChunksOfDroppedDocumentsUpToItsCap)
{
    // Blocks of 200 KB take a standard chunk each once the first chunks
    // have grown; 400 of them are more than the cache keeps.
    const std::size_t takenBefore = ChunkPool::TakenBytes();
    ReadArena* arena = ReadArena::Create();
    std::vector<std::size_t> sizes(400, 200 * 1024);
    TakeBlocks(*arena, sizes, 16);
    EXPECT_GE(ChunkPool::TakenBytes(), takenBefore + 390U * ChunkPool::kChunkSize);
    arena->finishReading();
    for (std::size_t i = 0; i < sizes.size(); ++i)
        arena->release();
    const std::size_t cap = ChunkPool::KeptBytes();
    EXPECT_EQ(cap, 64U * 1024 * 1024);
    EXPECT_EQ(ChunkPool::TakenBytes(), takenBefore);

    // The next read takes its chunks from the cache.
    auto doc = SDF::ReadSdfFromString(StationText(13, 2000));
    EXPECT_LT(ChunkPool::KeptBytes(), cap);
    EXPECT_EQ(ChunkPool::TakenBytes() - takenBefore, cap - ChunkPool::KeptBytes());
    doc.reset();
    EXPECT_EQ(ChunkPool::KeptBytes(), cap);
    EXPECT_EQ(ChunkPool::TakenBytes(), takenBefore);
}

// ---- documents ------------------------------------------------------------------

#if defined(__SANITIZE_ADDRESS__)
// A block used after its arena went is found even when the arena's chunk
// was kept for the next read rather than freed.
TEST(ReadArenaDeathTest, UseAfterTheDocumentWentIsFoundInKeptChunks)
{
    EXPECT_DEATH(
        {
            ReadArena* arena = ReadArena::Create();
            std::vector<std::size_t> sizes(40, 100 * 1024);
            auto blocks = TakeBlocks(*arena, sizes, 16);
            arena->finishReading();
            for (std::size_t i = 0; i < sizes.size(); ++i)
                arena->release();
            static_cast<volatile unsigned char*>(blocks.back().at)[0] = 1;
        },
        "use-after-poison");
}
#endif

TEST(ReadArena, ElementsOutliveTheirDocument)
{
    const std::string text = StationText(7, 3000);
    std::vector<std::shared_ptr<sdf::Element>> kept;
    std::vector<std::string> before;
    std::weak_ptr<sdf::Element> root;
    {
        auto doc = SDF::ReadSdfFromString(text);
        root = doc->Root();
        std::vector<std::shared_ptr<sdf::Element>> all;
        Collect(doc->Root(), all);
        for (std::size_t i = 1; i < all.size(); i += 97) {
            kept.push_back(all[i]);
            before.push_back(all[i]->toXMLString(""));
        }
    }
    ASSERT_GT(kept.size(), 20U);
    EXPECT_TRUE(root.expired());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i]->toXMLString(""), before[i]);
    }
    // Copies made after the document went are independent of the arena.
    auto copy = kept.front()->clone();
    kept.clear();
    EXPECT_EQ(copy->toXMLString(""), before.front());
}

TEST(ReadArena, SubtreeMovedToAnotherDocumentSurvivesItsOrigin)
{
    auto target = SDF::SpawnFromRootTemplate();
    auto station = target->Root()->append("station");
    std::string partText;
    {
        auto origin = SDF::ReadSdfFromString(StationText(3, 1500));
        auto part = origin->Root()->get("station/part");
        ASSERT_NE(part, nullptr);
        partText = part->toXMLString("        ");
        part->removeFromParent();
        station->append(part);
        // Values of the moved subtree change after the move, in arena
        // attributes and in fresh ones.
        part->set<std::string>("name", "moved");
        part->touch("user_file");
    }
    const std::string written = target->Root()->toXMLString("");
    EXPECT_NE(written.find("<name>moved</name>"), std::string::npos);
    auto reread = SDF::ReadSdfFromString(written);
    EXPECT_EQ(reread->Root()->get("station/part/name")->asString(), "moved");
}

TEST(ReadArena, EditedDocumentsMixArenaAndHeapElements)
{
    auto doc = SDF::ReadSdfFromString(StationText(11, 2000));
    auto station = doc->Root()->get("station");
    // Replace values held in the arena, add heap elements among arena ones,
    // drop arena elements one by one.
    station->set<std::string>("name", std::string(100, 'x'));
    for (int i = 0; i < 50; ++i)
        station->appendObject("part", 90000 + i, "added " + std::to_string(i));
    station->remove("smart_component", {});
    const std::string text = doc->Root()->toXMLString("");
    doc.reset();
    station.reset();
    EXPECT_EQ(SDF::ReadSdfFromString(text)->Root()->toXMLString(""), text);
}

TEST(ReadArena, FailedReadLeavesNothingBehind)
{
    // The failure comes after hundreds of elements were made; the sanitizer
    // reports any of them, or the arena, left at exit.
    std::string text = StationText(5, 1000);
    const auto end = text.rfind("</station>");
    ASSERT_NE(end, std::string::npos);
    text.insert(end, "<no_such_element/>");
    sdf::test::ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromString(text); },
                                                      "element 'station' does not have 'no_such_element' child element");
}
