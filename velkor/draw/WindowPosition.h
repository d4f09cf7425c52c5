#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/draw/DrawTarget.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace velkor
{

class XConnection;

// The window's place on its screen, asked for right after a picture was put, so that the reply
// waits in the socket for the next picture instead of the thread waiting for the server.
class WindowPosition
{
public:
    void ask(XConnection& connection, std::uint32_t window, std::uint32_t root);
    // Discards the reply to a question asked.
    void drop(XConnection& connection);
    // Forgets the question, as when the connection that asked it is gone.
    void forget() { m_asked.reset(); }
    // The part of a window of `windowSize` on a screen of `screenSize`, by the answer to the
    // question asked, or to one asked now when none is, or it is stale; nothing when the server
    // gave no answer. Also the fence for shared memory: the question follows the last picture
    // put, so once its answer is here the server has finished reading that picture.
    std::optional<PictureArea> visible(XConnection& connection, std::uint32_t window,
                                       std::uint32_t root, PictureSize windowSize,
                                       PictureSize screenSize);

private:
    struct Question
    {
        unsigned int sequence = 0;
        std::chrono::steady_clock::time_point asked;
    };
    std::optional<Question> m_asked;
};

} // namespace velkor
