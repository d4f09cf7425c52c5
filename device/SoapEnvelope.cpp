#include "device/SoapEnvelope.h"

#include "common/SoapNamespaces.h"
#include "common/XmlWriter.h"
#include "device/AddressingCheck.h"

namespace velkordevice
{

std::string SoapEnvelope::wrap(const std::string& header, const std::string& body)
{
    using N = common::SoapNamespaces;
    common::XmlWriter xml;
    xml.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml.open("env:Envelope", {{"xmlns:env", N::kEnvelope},
                              {"xmlns:xs", N::kXmlSchema},
                              {"xmlns:tt", N::kSchema},
                              {"xmlns:tds", N::kDevice},
                              {"xmlns:trt", N::kMedia},
                              {"xmlns:tev", N::kEvents},
                              {"xmlns:wsnt", N::kNotification},
                              {"xmlns:wstop", N::kTopicSet},
                              {"xmlns:wsrf-rw", N::kResource},
                              {"xmlns:wsa", N::kAddressing},
                              {"xmlns:tns1", N::kTopics},
                              {"xmlns:ter", N::kError},
                              {"xmlns:vd", AddressingCheck::kNamespace}});
    if (!header.empty())
    {
        xml.open("env:Header").raw(header).close();
    }
    xml.open("env:Body").raw(body).close();
    return xml.finish();
}

std::string SoapEnvelope::faultBody(const SoapFault& fault)
{
    common::XmlWriter xml;
    xml.open("env:Fault").open("env:Code").leaf("env:Value", fault.code);
    for (const auto& subcode : fault.subcodes)
    {
        xml.open("env:Subcode").leaf("env:Value", subcode);
    }
    for (std::size_t i = 0; i < fault.subcodes.size(); ++i)
    {
        xml.close();
    }
    xml.close();
    xml.open("env:Reason")
        .open("env:Text", {{"xml:lang", "en"}})
        .text(fault.reason)
        .close()
        .close();
    if (!fault.detail.empty())
    {
        xml.open("env:Detail").raw(fault.detail);
    }
    return xml.finish();
}

HttpReply SoapEnvelope::reply(const SoapAnswer& answer)
{
    HttpReply reply;
    reply.contentType = kContentType;
    if (answer.fault)
    {
        reply.status = answer.fault->httpStatus();
        reply.body = wrap({}, faultBody(*answer.fault));
        return reply;
    }
    std::string header;
    if (!answer.action.empty())
    {
        header = common::XmlWriter().leaf("wsa:Action", answer.action).finish();
    }
    reply.body = wrap(header, answer.body);
    return reply;
}

} // namespace velkordevice
