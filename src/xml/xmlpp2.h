#pragma once

#include "xml/xmldocument.h"

// The document class of files that go through the conditional preprocessor. Its warnings
// (which never stop a load) arrive at reportWarning; typed documents route them to their log.
class XMLPP2 : public XMLDocument {
public:
    using XMLDocument::XMLDocument;

    // Writes "warning: %s" and a newline to standard error.
    virtual void reportWarning(const std::string &message);
};
