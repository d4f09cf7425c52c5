#include "devicelib/DeviceLibrary.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
// On the Itanium C++ ABI a pointer to a virtual member function holds 1 + the entry's byte offset
// in the table of virtual functions, followed by an adjustment of `this`.
template <typename Member> std::ptrdiff_t tableEntry(Member member)
{
    struct Raw
    {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } raw{};
    static_assert(sizeof(Member) == sizeof(Raw));
    std::memcpy(&raw, &member, sizeof raw);
    EXPECT_EQ(raw.pointer % sizeof(void*), 1U) << "not a virtual function";
    EXPECT_EQ(raw.adjustment, 0);
    return static_cast<std::ptrdiff_t>((raw.pointer - 1) / sizeof(void*));
}
} // namespace

TEST(SlotPositions, EveryDeviceLibraryOperationTheConsoleCallsSitsAtItsPosition)
{
    // DeviceLibrary has no virtual destructor, so a position is the table entry itself.
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot000), 0);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Open), 1);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Close), 3);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetDeviceType), 11);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetDeviceType), 12);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetIPAddr), 13);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetIPAddr), 14);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetHttpPort), 15);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetHttpPort), 16);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetUID), 25);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetUserName), 26);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetUserName), 27);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetPassword), 28);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetPassword), 29);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot042), 42);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot066), 66);
    EXPECT_EQ(tableEntry(&DeviceLibrary::PlayLive), 68);
    EXPECT_EQ(tableEntry(&DeviceLibrary::PlayControl), 71);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetVideoWindow), 77);
    EXPECT_EQ(tableEntry(&DeviceLibrary::ClearImage), 79);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetMPEG4Resolution), 188);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetMPEG4Resolution), 189);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetH264Resolution), 190);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetH264Resolution), 191);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetJPEGResolution), 192);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetJPEGResolution), 193);
    EXPECT_EQ(tableEntry(&DeviceLibrary::SetStreamFormat), 194);
    EXPECT_EQ(tableEntry(&DeviceLibrary::GetStreamFormat), 195);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot196), 196);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot198), 198);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot220), 220);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot296), 296);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot298), 298);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot328), 328);
    EXPECT_EQ(tableEntry(&DeviceLibrary::Slot332), 332);
}

// The listener interfaces begin with their virtual destructor at position 0. This ABI gives a
// virtual destructor two entries (the complete-object and the deleting destructor), so the
// operation at position p is table entry p + 1.
TEST(SlotPositions, EveryListenerOperationFollowsTheDestructorsTwoEntries)
{
    EXPECT_EQ(tableEntry(&IAppListener::OnError), 1 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::OnDevStatus), 2 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::OnRecStatus), 3 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event04), 4 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::OnAlmStatus), 5 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event06), 6 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::OnPlayStatus), 7 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::OnOpStatus), 8 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::OnImage), 9 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event10), 10 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event11), 11 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event12), 12 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event13), 13 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event14), 14 + 1);
    EXPECT_EQ(tableEntry(&IAppListener::Event15), 15 + 1);
}

TEST(SlotPositions, EveryCallbackOperationFollowsTheDestructorsTwoEntries)
{
    EXPECT_EQ(tableEntry(&IAppCallBack::OnAlmStatusCB), 1 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::OnRecCB), 2 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::OnSearchCB), 3 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::OnSearchExCB), 4 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::CallBack05), 5 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::OnOpStatusCB), 6 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::OnPlayStatusCB), 7 + 1);
    EXPECT_EQ(tableEntry(&IAppCallBack::OnFtpStatusCB), 8 + 1);
}
