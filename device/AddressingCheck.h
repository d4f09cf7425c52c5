#pragma once

#include "device/SoapFault.h"

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

// The WS-Addressing headers of a request to the event service or a subscription, as a device
// that requires them judges them: wsa:Action, wsa:To and, for a subscription, the reference
// parameter it handed out with the subscription's address.
class AddressingCheck
{
public:
    // The device's own namespace, that of its reference parameters.
    static constexpr const char* kNamespace = "urn:quillon:velkor-device";
    static constexpr const char* kSubscriptionId = "SubscriptionId";

    // The fault for a request that lacks one of the headers, or whose action is not `action` or
    // whose wsa:To is not `address`; nullopt when it may be answered. `subscription`: whether
    // the reference parameter is required too.
    static std::optional<SoapFault> refusal(const xmlNode* header, std::string_view action,
                                            std::string_view address, bool subscription);
    // The subscription id the request's reference parameter names, nullopt when it carries none.
    static std::optional<std::string> subscriptionId(const xmlNode* header);
};

} // namespace velkordevice
