#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "velkor/report/ResultCode.h"

#include <cstdlib>
#include <new>

using namespace velkor;
using velkortest::FakeDevice;
using velkortest::LibraryFixture;
using velkortest::RecordedEvent;

namespace
{

// The next allocation on this thread fails, as when memory runs out in the middle of a call.
thread_local bool t_failNextAllocation = false;

void failNextAllocation()
{
    t_failNextAllocation = true;
}

} // namespace

// The library resolves operator new to this one, as to any the program provides.
void* operator new(std::size_t size)
{
    if (t_failNextAllocation)
    {
        t_failNextAllocation = false;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size))
    {
        return memory;
    }
    throw std::bad_alloc();
}

// GCC cannot see that the operator new above hands out malloc's memory.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t /*size*/) noexcept
{
    std::free(memory);
}
#pragma GCC diagnostic pop

using FailureTest = LibraryFixture;

TEST_F(FailureTest, AnOperationThatRunsOutOfMemoryReturnsInternalFailureAndNothingBreaks)
{
    FakeDevice device;
    pointAt(device.port());

    failNextAllocation();
    EXPECT_EQ(m_api->SetIPAddr("a-camera-with-a-rather-long-name.example"), InternalFailure);
    EXPECT_EQ(m_api->SetIPAddr("127.0.0.1"), 0);
    failNextAllocation();
    EXPECT_EQ(m_api->Open(), InternalFailure);
    ASSERT_EQ(m_api->Open(), 4242);
    failNextAllocation();
    EXPECT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), InternalFailure);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(m_listener.waitFor("play", 1, 1));

    // Events arrive in order: once PlayLive's report is here, the two before it are too.
    ASSERT_TRUE(m_listener.waitFor(
        [](const RecordedEvent& event)
        { return event.a == InternalFailure && event.text.rfind("PlayLive", 0) == 0; }));
    std::size_t failures = 0;
    for (const RecordedEvent& event : m_listener.events())
    {
        if (event.kind == "error" && event.a == InternalFailure)
        {
            ++failures;
            EXPECT_NE(event.text.find("failed inside the library"), std::string::npos)
                << event.text;
        }
    }
    EXPECT_EQ(failures, 3U);
}
