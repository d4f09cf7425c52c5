#pragma once

#include <cstdint>

namespace velkor
{

// Every result and OnError code the library gives out; README.md lists their meanings. Values are
// part of the library's contract with its clients: never renumber.
enum ResultCode : int32_t
{
    Ok = 0,
    NotSupported = -1,
    InvalidArgument = -2,

    DeviceTypeInvalid = -10,
    StreamFormatInvalid = -11,
    JpegWidthInvalid = -12,
    Mpeg4WidthInvalid = -13,
    H264WidthInvalid = -14,
    PortInvalid = -15,
    AddressInvalid = -16,
    TextTooLong = -17,
    TextHasControl = -18,
    TextNotUtf8 = -19,

    DeviceUnreachable = -30,
    CredentialsRefused = -31,
    DeviceTimedOut = -32,
    NotVelkorDevice = -33,
    AlreadyOpen = -34,
    NotOpen = -35,
    DeviceRequestFailed = -36,
    DeviceBusy = -37,

    ChannelUnknown = -40,
    FormatNotServed = -41,
    AlreadyPlaying = -42,
    WindowInvalid = -44,

    StreamMalformed = -50,
    StreamLost = -51,
    StreamRefused = -52,
    FrameUndecodable = -53,
    SessionLost = -54,
    EventsDropped = -55,

    InternalFailure = -60,
};

// OnDevStatus status values for channel 0, the session itself.
enum SessionStatus : int32_t
{
    SessionStatusLost = 0,
    SessionStatusConnected = 1,
    SessionStatusClosed = 2,
};

} // namespace velkor
