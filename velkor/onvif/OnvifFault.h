#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor
{

// A SOAP 1.2 fault a camera answered: its code, nested subcodes (qualified names, such as
// ter:NotAuthorized, resolved against the namespaces in scope where they stand) and its reason.
struct OnvifFault
{
    struct Name
    {
        // As the camera wrote it, made fit for a message: "ter:NotAuthorized".
        std::string written;
        std::string ns;
        std::string local;
    };

    Name code;
    std::vector<Name> subcodes;
    // The first env:Text of env:Reason, made fit for a message.
    std::string reason;

    // Reads an env:Fault element; nullopt for anything else.
    static std::optional<OnvifFault> read(const xmlNode* fault);

    // Whether any subcode is this namespace's `local`, whatever prefix the camera chose.
    bool hasSubcode(std::string_view ns, std::string_view local) const;
    // "env:Sender, ter:NotAuthorized: Sender not Authorized", for messages.
    std::string describe() const;
};

} // namespace velkor
