#include "device/AddressingCheck.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XmlWriter.h"

#include <memory>

namespace velkordevice
{

namespace
{

SoapFault headerRequired(const std::string& name)
{
    return SoapFault{"env:Sender",
                     {"wsa:MessageAddressingHeaderRequired"},
                     "A required header representing a Message Addressing Property is not present",
                     common::XmlWriter().leaf("wsa:ProblemHeaderQName", name).finish()};
}

// The reference parameter counts only where it says it is one.
const xmlNode* referenceParameter(const xmlNode* header)
{
    const xmlNode* parameter = common::XmlTree::child(header, AddressingCheck::kNamespace,
                                                      AddressingCheck::kSubscriptionId);
    if (parameter == nullptr)
    {
        return nullptr;
    }
    const std::unique_ptr<xmlChar, void (*)(void*)> flag(
        xmlGetNsProp(parameter, reinterpret_cast<const xmlChar*>("IsReferenceParameter"),
                     reinterpret_cast<const xmlChar*>(common::SoapNamespaces::kAddressing)),
        xmlFree);
    const std::string_view value =
        flag ? reinterpret_cast<const char*>(flag.get()) : std::string_view();
    return value == "true" || value == "1" ? parameter : nullptr;
}

} // namespace

std::optional<SoapFault> AddressingCheck::refusal(const xmlNode* header, std::string_view action,
                                                  std::string_view address, bool subscription)
{
    const char* wsa = common::SoapNamespaces::kAddressing;
    const xmlNode* actionHeader = common::XmlTree::child(header, wsa, "Action");
    const xmlNode* toHeader = common::XmlTree::child(header, wsa, "To");
    if (actionHeader == nullptr)
    {
        return headerRequired("wsa:Action");
    }
    if (toHeader == nullptr)
    {
        return headerRequired("wsa:To");
    }
    if (subscription && referenceParameter(header) == nullptr)
    {
        return headerRequired(std::string("vd:") + kSubscriptionId);
    }
    const std::string given = common::XmlTree::text(actionHeader);
    if (given != action)
    {
        return SoapFault{
            "env:Sender",
            {"wsa:ActionNotSupported"},
            "The [action] cannot be processed at the receiver",
            common::XmlWriter().open("wsa:ProblemAction").leaf("wsa:Action", given).finish()};
    }
    const std::string to = common::XmlTree::text(toHeader);
    if (to != address)
    {
        return SoapFault{"env:Sender",
                         {"wsa:DestinationUnreachable"},
                         "No route can be determined to reach [destination]",
                         common::XmlWriter().leaf("wsa:ProblemIRI", to).finish()};
    }
    return std::nullopt;
}

std::optional<std::string> AddressingCheck::subscriptionId(const xmlNode* header)
{
    const xmlNode* parameter = referenceParameter(header);
    if (parameter == nullptr)
    {
        return std::nullopt;
    }
    return common::XmlTree::text(parameter);
}

} // namespace velkordevice
