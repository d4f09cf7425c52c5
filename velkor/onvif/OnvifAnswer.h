#pragma once

#include "common/SoapMessage.h"
#include "velkor/net/HttpClient.h"
#include "velkor/onvif/OnvifFault.h"

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>

namespace velkor
{

// What one SOAP call gave: how the HTTP exchange ended, and, when the camera answered in SOAP,
// its response or its fault.
class OnvifAnswer
{
public:
    OnvifAnswer(HttpResult http, std::string_view action);

    const HttpResult& http() const { return m_http; }
    // The response element (the first in the answer's body) of an answer that is no fault;
    // nullptr otherwise. It lives as long as this answer.
    const xmlNode* response() const;
    const std::optional<OnvifFault>& fault() const { return m_fault; }
    // HTTP 401, or a ter:NotAuthorized fault whatever the status.
    bool credentialsRefused() const;
    // The call by its operation's name ("GetProfiles"), for messages.
    const std::string& operation() const { return m_operation; }
    // Why the call gave no response, naming `camera` and the operation: the fault's code and
    // reason, the HTTP status, or how the exchange ended. Empty when it did give one.
    std::string problem(const std::string& camera) const;

private:
    HttpResult m_http;
    std::string m_operation;
    std::shared_ptr<const common::SoapMessage> m_message;
    std::optional<OnvifFault> m_fault;
};

} // namespace velkor
