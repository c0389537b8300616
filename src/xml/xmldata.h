#pragma once

#include "xml/xmlnode.h"

#include <string>

// The three kinds of text node. Each holds one byte string; the reader has already decoded
// entities in character data, while comments and CDATA sections hold their raw text.

class XMLData : public XMLNode {
public:
    explicit XMLData(std::string data) : XMLNode(XMLNodeType::Data), m_text(std::move(data)) {}
    const std::string &data() const { return m_text; }
    void setData(std::string data) { m_text = std::move(data); }
    std::unique_ptr<XMLNode> cloneNode(XMLDocument &) const override {
        return std::make_unique<XMLData>(m_text);
    }

private:
    std::string m_text;
};

class XMLComment : public XMLNode {
public:
    explicit XMLComment(std::string comment)
        : XMLNode(XMLNodeType::Comment), m_text(std::move(comment)) {}
    const std::string &comment() const { return m_text; }
    void setComment(std::string comment) { m_text = std::move(comment); }
    std::unique_ptr<XMLNode> cloneNode(XMLDocument &) const override {
        return std::make_unique<XMLComment>(m_text);
    }

private:
    std::string m_text;
};

class XMLCDATASection : public XMLNode {
public:
    explicit XMLCDATASection(std::string text)
        : XMLNode(XMLNodeType::CDATASection), m_text(std::move(text)) {}
    const std::string &CDATASection() const { return m_text; }
    void setCDATASection(std::string text) { m_text = std::move(text); }
    std::unique_ptr<XMLNode> cloneNode(XMLDocument &) const override {
        return std::make_unique<XMLCDATASection>(m_text);
    }

private:
    std::string m_text;
};
