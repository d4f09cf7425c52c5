#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor
{

// Where a message goes, as WS-Addressing names it: an address, and the reference parameters a
// camera may hand out with it, which every message to that address must carry back as SOAP
// header blocks (a camera keeps its subscriptions apart by them).
class EndpointReference
{
public:
    // A camera's reference beyond these is refused rather than sent back with every call. The
    // bytes are those written, each parameter with every namespace in scope where the camera
    // wrote it: some cameras declare forty on their envelope, 2 KB a parameter.
    static constexpr std::size_t kMaxAddressBytes = 2048;
    static constexpr std::size_t kMaxParameters = 16;
    static constexpr std::size_t kMaxParameterBytes = 16384;

    // An endpoint without reference parameters: a service's address.
    explicit EndpointReference(std::string address);

    // A wsa:EndpointReferenceType element as the camera wrote it. nullopt when it has no address,
    // or its address or parameters are beyond the bounds; `why` then says so ("without ...").
    static std::optional<EndpointReference> read(const xmlNode* reference, std::string& why);

    const std::string& address() const { return m_address; }
    // The header blocks of a message with `action` to this endpoint: wsa:Action, a fresh
    // wsa:MessageID, wsa:ReplyTo (anonymous: the answer comes back on the connection), wsa:To,
    // then each reference parameter, marked wsa:IsReferenceParameter="true".
    std::string headers(std::string_view action) const;

private:
    std::string m_address;
    // The reference parameters as header blocks, XML that libxml2 wrote.
    std::string m_parameters;
};

} // namespace velkor
