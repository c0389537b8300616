#include "project/projectdocument.h"

std::unique_ptr<XMLElement> ProjectDocument::mkXMLElement(std::string_view name) {
    return std::make_unique<ProjectElement>(name);
}

void ProjectDocument::reportWarning(const std::string &message) {
    if (m_warnings)
        m_warnings(message);
    else
        XMLPP2::reportWarning(message);
}
