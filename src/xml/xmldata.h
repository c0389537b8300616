#pragma once

#include "xml/xmlnode.h"

#include <string>

// The three kinds of text node. Each holds one byte string; the reader has already decoded
// entities in character data, while comments and CDATA sections hold their raw text.

template <class Derived, XMLNodeType kType> class XMLTextNode : public XMLNode {
public:
    std::unique_ptr<XMLNode> cloneNode(XMLDocument &) const override {
        return std::make_unique<Derived>(m_text);
    }

protected:
    explicit XMLTextNode(std::string text) : XMLNode(kType), m_text(std::move(text)) {}
    std::string m_text;
};

class XMLData : public XMLTextNode<XMLData, XMLNodeType::Data> {
public:
    explicit XMLData(std::string data) : XMLTextNode(std::move(data)) {}
    const std::string &data() const { return m_text; }
    void setData(std::string data) { m_text = std::move(data); }
};

class XMLComment : public XMLTextNode<XMLComment, XMLNodeType::Comment> {
public:
    explicit XMLComment(std::string comment) : XMLTextNode(std::move(comment)) {}
    const std::string &comment() const { return m_text; }
    void setComment(std::string comment) { m_text = std::move(comment); }
};

class XMLCDATASection : public XMLTextNode<XMLCDATASection, XMLNodeType::CDATASection> {
public:
    explicit XMLCDATASection(std::string text) : XMLTextNode(std::move(text)) {}
    const std::string &CDATASection() const { return m_text; }
    void setCDATASection(std::string text) { m_text = std::move(text); }
};
