#pragma once

#include "device/BodySink.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velkordevice
{

// What a route answers: a whole plain body, or a stream that ends with the connection.
struct HttpReply
{
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // Called again and again while it returns true and the server serves.
    std::function<bool(BodySink&)> stream;
};

} // namespace velkordevice
