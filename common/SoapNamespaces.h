#pragma once

namespace common
{

// The namespaces of the ONVIF messages, and the prefixes our replies declare for them.
struct SoapNamespaces
{
    static constexpr const char* kEnvelope = "http://www.w3.org/2003/05/soap-envelope";
    static constexpr const char* kDevice = "http://www.onvif.org/ver10/device/wsdl";
    static constexpr const char* kMedia = "http://www.onvif.org/ver10/media/wsdl";
    static constexpr const char* kEvents = "http://www.onvif.org/ver10/events/wsdl";
    static constexpr const char* kSchema = "http://www.onvif.org/ver10/schema";
    static constexpr const char* kTopics = "http://www.onvif.org/ver10/topics";
    static constexpr const char* kError = "http://www.onvif.org/ver10/error";
    static constexpr const char* kNotification = "http://docs.oasis-open.org/wsn/b-2";
    static constexpr const char* kTopicSet = "http://docs.oasis-open.org/wsn/t-1";
    static constexpr const char* kResource = "http://docs.oasis-open.org/wsrf/rw-2";
    static constexpr const char* kAddressing = "http://www.w3.org/2005/08/addressing";
    static constexpr const char* kSecurity =
        "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
    static constexpr const char* kSecurityUtility =
        "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
    static constexpr const char* kXmlSchema = "http://www.w3.org/2001/XMLSchema";
};

} // namespace common
