#include "velkor/onvif/OnvifAnswer.h"

#include "common/SoapNamespaces.h"

namespace velkor
{

using common::SoapMessage;
using common::SoapNamespaces;

OnvifAnswer::OnvifAnswer(HttpResult http, std::string_view action) : m_http(std::move(http))
{
    const std::size_t slash = action.rfind('/');
    m_operation = std::string(slash == std::string_view::npos ? action : action.substr(slash + 1));
    if (m_http.outcome != HttpResult::Outcome::Completed || m_http.body.empty())
    {
        return;
    }
    auto message = std::make_shared<SoapMessage>(SoapMessage::parse(m_http.body));
    // The parsed tree keeps what it needs; the text is not kept twice.
    m_http.body.clear();
    if (message->problem() != SoapMessage::Problem::None)
    {
        return;
    }
    m_fault = OnvifFault::read(message->operation());
    m_message = std::move(message);
}

const xmlNode* OnvifAnswer::response() const
{
    if (!m_message || m_fault || m_http.status != 200)
    {
        return nullptr;
    }
    return m_message->operation();
}

bool OnvifAnswer::credentialsRefused() const
{
    return m_http.status == 401 ||
           (m_fault && m_fault->hasSubcode(SoapNamespaces::kError, "NotAuthorized"));
}

std::string OnvifAnswer::problem(const std::string& camera) const
{
    if (response() != nullptr)
    {
        return {};
    }
    if (m_fault)
    {
        return camera + " answered " + m_operation + " with the fault " + m_fault->describe();
    }
    if (m_http.outcome == HttpResult::Outcome::Completed && m_http.status == 200)
    {
        return camera + " answered " + m_operation + " with no SOAP 1.2 message";
    }
    return HttpClient::describe(m_http, camera, m_operation);
}

} // namespace velkor
