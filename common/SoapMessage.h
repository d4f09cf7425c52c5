#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string_view>

namespace common
{

// A SOAP 1.2 request as libxml2 reads it: its header and the operation, the first element of
// its body.
class SoapMessage
{
public:
    enum class Problem
    {
        None,
        // Not well-formed, or it carries a document type declaration, which SOAP forbids.
        Malformed,
        // Well-formed, but not a SOAP 1.2 envelope with a body holding an element.
        NotSoap12
    };

    static SoapMessage parse(std::string_view xml);

    Problem problem() const { return m_problem; }
    // nullptr when the envelope has none.
    const xmlNode* header() const { return m_header; }
    const xmlNode* operation() const { return m_operation; }

private:
    struct DocumentFree
    {
        void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
    };

    std::unique_ptr<xmlDoc, DocumentFree> m_document;
    Problem m_problem = Problem::Malformed;
    const xmlNode* m_header = nullptr;
    const xmlNode* m_operation = nullptr;
};

} // namespace common
