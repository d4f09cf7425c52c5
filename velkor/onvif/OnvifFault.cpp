#include "velkor/onvif/OnvifFault.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "velkor/camera/CameraText.h"

namespace velkor
{

using common::SoapNamespaces;
using common::XmlTree;

namespace
{

// Subcodes nest; a camera that nests without end is not followed past this.
constexpr int kDeepestSubcode = 8;

// A QName's text resolved against the namespaces in scope at `where`.
OnvifFault::Name resolve(const xmlNode* where, const std::string& qualified)
{
    OnvifFault::Name name{CameraText::printable(qualified), {}, {}};
    const std::size_t colon = qualified.find(':');
    const std::string prefix = colon == std::string::npos ? "" : qualified.substr(0, colon);
    name.local = colon == std::string::npos ? qualified : qualified.substr(colon + 1);
    const xmlNs* ns =
        xmlSearchNs(where->doc, const_cast<xmlNode*>(where),
                    prefix.empty() ? nullptr : reinterpret_cast<const xmlChar*>(prefix.c_str()));
    if (ns != nullptr && ns->href != nullptr)
    {
        name.ns = reinterpret_cast<const char*>(ns->href);
    }
    return name;
}

} // namespace

std::optional<OnvifFault> OnvifFault::read(const xmlNode* fault)
{
    const char* env = SoapNamespaces::kEnvelope;
    if (!XmlTree::is(fault, env, "Fault"))
    {
        return std::nullopt;
    }
    OnvifFault read;
    const xmlNode* code = XmlTree::child(fault, env, "Code");
    if (const xmlNode* value = XmlTree::child(code, env, "Value"))
    {
        read.code = resolve(value, XmlTree::text(value));
    }
    const xmlNode* subcode = XmlTree::child(code, env, "Subcode");
    for (int depth = 0; subcode != nullptr && depth < kDeepestSubcode; ++depth)
    {
        if (const xmlNode* value = XmlTree::child(subcode, env, "Value"))
        {
            read.subcodes.push_back(resolve(value, XmlTree::text(value)));
        }
        subcode = XmlTree::child(subcode, env, "Subcode");
    }
    read.reason = CameraText::printable(
        XmlTree::text(XmlTree::find(fault, {{env, "Reason"}, {env, "Text"}})));
    return read;
}

bool OnvifFault::hasSubcode(std::string_view ns, std::string_view local) const
{
    for (const Name& name : subcodes)
    {
        if (name.ns == ns && name.local == local)
        {
            return true;
        }
    }
    return false;
}

std::string OnvifFault::describe() const
{
    std::string text = code.written.empty() ? "a fault" : code.written;
    for (const Name& name : subcodes)
    {
        text += ", " + name.written;
    }
    if (!reason.empty())
    {
        text += ": " + reason;
    }
    return text;
}

} // namespace velkor
