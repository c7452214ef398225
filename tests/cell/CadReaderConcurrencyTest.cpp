// B-rep files read from several threads at once, as the geometry cache's
// workers in the window read them: each read starts its own reader process
// and hears only its own answer, a crashing file's read fails alone, and
// every reader is reaped. Also run under ThreadSanitizer.
#include "cell/GeometryLoader.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(CadReaderConcurrencyTest, ThreadsReadingAtOnceEachGetTheirOwnAnswer)
{
    const fs::path data = ZRV_CELL_TEST_DATA_DIR;
    const fs::path box = data / "box.brep";
    const fs::path crashing = data / "revolution_without_curve.brep";
    constexpr int kThreads = 4;
    std::vector<std::string> outcomes(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const fs::path& file = t % 2 == 0 ? box : crashing;
            try {
                outcomes[static_cast<std::size_t>(t)] = std::to_string(cell::LoadGeometry(file).faces.size()) + " faces";
            } catch (const std::runtime_error& error) {
                outcomes[static_cast<std::size_t>(t)] = error.what();
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(outcomes[static_cast<std::size_t>(t)],
                  t % 2 == 0 ? "6 faces"
                             : crashing.string() + ": the BREP reader crashed on this file (signal 11, Segmentation fault)");
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

} // namespace
