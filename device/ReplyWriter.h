#pragma once

#include "device/BodySink.h"
#include "device/HttpReply.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <sys/uio.h>

#include <array>
#include <chrono>
#include <cstddef>

namespace velkordevice
{

// Writes replies to a connection's socket, which must take some of each write within the write
// timeout. It is a synchronous write stream to Beast's serializer, and the sink of a streamed
// body.
class ReplyWriter : public BodySink
{
public:
    ReplyWriter(int socket, std::chrono::milliseconds writeTimeout);

    // The head, and the whole body unless `headOnly` or streamed; false when the peer is gone.
    bool send(const HttpReply& reply, bool headOnly, bool closing);
    bool write(const char* data, std::size_t size) override;

    template <class ConstBuffers>
    std::size_t write_some(const ConstBuffers& buffers, boost::beast::error_code& error)
    {
        std::array<iovec, 16> pieces{};
        std::size_t count = 0;
        for (auto it = boost::asio::buffer_sequence_begin(buffers);
             it != boost::asio::buffer_sequence_end(buffers) && count < pieces.size(); ++it)
        {
            const boost::asio::const_buffer piece(*it);
            if (piece.size() != 0)
            {
                // sendmsg() only reads from these.
                pieces[count++] = {const_cast<void*>(piece.data()), piece.size()};
            }
        }
        return sendSome(pieces.data(), count, error);
    }

    template <class ConstBuffers> std::size_t write_some(const ConstBuffers& buffers)
    {
        boost::beast::error_code error;
        const std::size_t sent = write_some(buffers, error);
        if (error)
        {
            throw boost::beast::system_error(error);
        }
        return sent;
    }

private:
    std::size_t sendSome(const iovec* pieces, std::size_t count, boost::beast::error_code& error);
    bool waitWritable() const;

    int m_socket;
    std::chrono::milliseconds m_writeTimeout;
};

} // namespace velkordevice
