#pragma once

#include <cstddef>

namespace velkordevice
{

// Where a streamed reply's body goes, piece by piece.
class BodySink
{
public:
    virtual ~BodySink() = default;
    // False once the peer is gone or took nothing within the write time: the reply ends.
    virtual bool write(const char* data, std::size_t size) = 0;
};

} // namespace velkordevice
