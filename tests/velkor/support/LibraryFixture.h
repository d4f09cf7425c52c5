#pragma once

#include "devicelib/DeviceLibrary.h"
#include "tests/velkor/support/RecordingListener.h"

#include <gtest/gtest.h>

namespace velkortest
{

// A test against the library object as a client sees it, through GetVelkorAPI. Every test starts
// from the defaults with this fixture's listener registered and leaves no session behind.
class LibraryFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    void pointAt(int port);

    DeviceLibrary* m_api = nullptr;
    RecordingListener m_listener;
};

} // namespace velkortest
