#include "xml/xmlpp2.h"

#include "xml/xmlelement.h"

#include <cstdio>

XMLPP2::~XMLPP2() = default;

void XMLPP2::reportWarning(const std::string &message) {
    std::fprintf(stderr, "warning: %s\n", message.c_str());
}

void XMLPP2::elementReady(XMLElement &) {}

const XMLElement *XMLPP2::fragment(std::string_view name) const {
    auto it = m_fragments.find(name);
    return it == m_fragments.end() ? nullptr : it->second.get();
}

void XMLPP2::setFragment(std::string name, std::unique_ptr<XMLElement> fragment) {
    m_fragments.insert_or_assign(std::move(name), std::move(fragment));
}

void XMLPP2::clearFragments() {
    m_fragments.clear();
}
