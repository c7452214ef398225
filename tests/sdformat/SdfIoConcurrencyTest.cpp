#include "SdfTestSupport.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

// Written as the writer writes it, so that a round trip gives it back.
const char* const kDocument = R"(<sdf version='1.0'>
    <station id='1'>
        <name>cell &amp; co</name>
        <part id='2'>
            <name>table</name>
            <pose>1 2 3 1 0 0 0</pose>
        </part>
        <smart_component id='3'>
            <property id='4'>
                <value type='double'>2.5</value>
                <description></description>
            </property>
            <pose>0 0 0 1 0 0 0</pose>
            <type></type>
        </smart_component>
        <last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>
        <visibility/>
    </station>
</sdf>
)";

} // namespace

// Started in a fresh process, the threads also race for the first build of
// the templates. Each reads, writes to its own file and reads that back.
TEST(SdfIoConcurrency, ThreadsReadAndWriteDocumentsAtOnce)
{
    constexpr int threadCount = 4;
    constexpr int rounds = 20;
    sdf::test::TempDir dir;
    std::latch start(threadCount);
    std::vector<std::string> failures(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            try {
                const auto path = dir / ("cell" + std::to_string(t) + ".sdf");
                for (int i = 0; i < rounds; ++i) {
                    auto doc = sdf::SDF::ReadSdfFromString(kDocument);
                    doc->Write(path);
                    if (sdf::SDF::ReadSdfFromFile(path)->Root()->toXMLString("") != kDocument)
                        failures[t] = "document changed on the way";
                }
            } catch (const std::exception& e) {
                failures[t] = e.what();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < threadCount; ++t)
        EXPECT_EQ(failures[t], "") << "thread " << t;
    EXPECT_EQ(dir.names().size(), static_cast<std::size_t>(threadCount));
}
