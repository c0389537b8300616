#pragma once

#include "xml/xmlallocator.h"

#include <cstdint>
#include <memory>

class XMLDocument;
class XMLElement;

enum class XMLNodeType : std::uint8_t { Element, Data, Comment, CDATASection };

// One node of an XML tree. A node owns its children; the children form a chain in which each
// node owns the next one. Nodes handed to the tree operations below are either single nodes
// or chains taken from another node with takeChildren().
//
// Destruction, deep copies and the reader and writer walk trees without recursion, so a
// million siblings or 100,000 levels of nesting do not reach the stack.
class XMLNode {
public:
    XMLNode(const XMLNode &) = delete;
    XMLNode &operator=(const XMLNode &) = delete;
    // Destroys the node, its children and any siblings chained after it.
    virtual ~XMLNode();

    // Nodes of every class come from the XML allocator.
    static void *operator new(std::size_t size) { return xmlAllocate(size); }
    static void operator delete(void *pointer) noexcept { xmlRelease(pointer); }

    XMLNodeType type() const { return m_type; }
    bool isElement() const { return m_type == XMLNodeType::Element; }
    // This node as an element, or null when it is something else.
    XMLElement *toElement();
    const XMLElement *toElement() const;

    XMLNode *parent() const { return m_parent; }
    XMLNode *nextSibling() const { return m_next.get(); }
    XMLNode *previousSibling() const { return m_prev->m_next.get() == this ? m_prev : nullptr; }
    XMLNode *firstChild() const { return m_firstChild.get(); }
    XMLNode *lastChild() const { return m_firstChild ? m_firstChild->m_prev : nullptr; }
    // The first child that is an element, and the next sibling that is one.
    XMLElement *firstChildElement() const;
    XMLElement *nextSiblingElement() const;

    // The node after this one in document order within the subtree of `root` (the whole tree
    // when `root` is null), or null at its end. With `descend` false the walk skips this
    // node's children. Lets callers walk trees of any depth without recursion.
    XMLNode *nextInTree(const XMLNode *root, bool descend = true) const;

    // The reader's line count when the node was started (the first line is 0).
    int line() const { return m_line; }
    void setLine(int line) { m_line = line; }

    // Links the node (or chain) after the last child; returns the node.
    XMLNode *appendChild(std::unique_ptr<XMLNode> node);
    template <class T> T *appendChild(std::unique_ptr<T> node) {
        T *added = node.get();
        appendChild(std::unique_ptr<XMLNode>(std::move(node)));
        return added;
    }
    // Makes the node (or chain) the first child.
    XMLNode *prependChild(std::unique_ptr<XMLNode> node);
    // Unlinks a child and hands it over; null (and nothing changes) when it is not a child.
    std::unique_ptr<XMLNode> removeChild(XMLNode *child);
    // Puts `node` (or a chain) in the place of the child `old` and hands `old` over.
    // Throws std::invalid_argument when `old` is not a child.
    std::unique_ptr<XMLNode> replaceChild(XMLNode *old, std::unique_ptr<XMLNode> node);
    // Splices a chain into the child list after the child `after`, or at the front when
    // `after` is null. Returns the last node inserted (`after` when the chain is empty).
    // Throws std::invalid_argument when `after` is neither null nor a child.
    XMLNode *insertChildren(XMLNode *after, std::unique_ptr<XMLNode> chain);
    // Unlinks every child and hands them over as one chain (null when there are none).
    std::unique_ptr<XMLNode> takeChildren();

    // A copy of this node alone, without children; elements are made by the document's
    // factory so that typed documents get their own element class back.
    virtual std::unique_ptr<XMLNode> cloneNode(XMLDocument &factory) const = 0;
    // A copy of this node and everything below it (not its following siblings).
    std::unique_ptr<XMLNode> cloneTree(XMLDocument &factory) const;

protected:
    explicit XMLNode(XMLNodeType type) : m_type(type) {}

    // A small code of the node's own class (a typed document's element kind), kept beside
    // the links: a walk over a large tree then finds it in the cache line it reads anyway.
    std::uint8_t classCode() const { return m_classCode; }
    void setClassCode(std::uint8_t code) { m_classCode = code; }

private:
    // Makes `next` (and what follows it) follow the child `child`.
    void linkNext(XMLNode *child, std::unique_ptr<XMLNode> next);

    XMLNode *m_parent = nullptr;
    // The previous sibling; the first node of a chain points at the chain's last node, which
    // makes appending and splicing constant time without a further pointer.
    XMLNode *m_prev = this;
    std::unique_ptr<XMLNode> m_next;
    std::unique_ptr<XMLNode> m_firstChild;
    int m_line = 0;
    XMLNodeType m_type;
    std::uint8_t m_classCode = 0;
};
