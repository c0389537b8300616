#pragma once

#include "project/projectelement.h"
#include "xml/xmlpp2.h"

#include <functional>
#include <string>

// The document of a solution file: every element the reader or the preprocessor makes is a
// ProjectElement, and preprocessor warnings go to the warning handler.
class ProjectDocument : public XMLPP2 {
public:
    static constexpr const char *kDocumentType = "Palindor_Project_File";

    using WarningHandler = std::function<void(const std::string &)>;

    ProjectDocument() = default;
    explicit ProjectDocument(WarningHandler warnings) : m_warnings(std::move(warnings)) {}

    std::unique_ptr<XMLElement> mkXMLElement(std::string_view name) override;
    void reportWarning(const std::string &message) override;

    ProjectElement *root() const { return ProjectElement::from(rootElement()); }

private:
    WarningHandler m_warnings;
};
