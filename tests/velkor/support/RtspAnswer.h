#pragma once

#include <string>

namespace velkortest::RtspAnswer
{

// A scripted camera's 200 answer to the DESCRIBE `head`: one JPEG video track, described by a
// session named `name`, with the request's CSeq.
std::string jpegDescription(const std::string& head, const std::string& name);

} // namespace velkortest::RtspAnswer
