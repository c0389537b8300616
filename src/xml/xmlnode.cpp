#include "xml/xmlnode.h"

#include "xml/xmlelement.h"

#include <stdexcept>

XMLNode::~XMLNode() {
    // Gather everything owned below and after this node into one chain and free it node by
    // node: each node is released only once its children have joined the chain, so no
    // destructor call nests inside another.
    std::unique_ptr<XMLNode> pending = std::move(m_next);
    auto adoptChildren = [&pending](XMLNode &node) {
        if (!node.m_firstChild)
            return;
        node.m_firstChild->m_prev->m_next = std::move(pending);
        pending = std::move(node.m_firstChild);
    };
    adoptChildren(*this);
    while (pending) {
        std::unique_ptr<XMLNode> node = std::move(pending);
        pending = std::move(node->m_next);
        adoptChildren(*node);
    }
}

XMLElement *XMLNode::toElement() {
    return isElement() ? static_cast<XMLElement *>(this) : nullptr;
}

const XMLElement *XMLNode::toElement() const {
    return isElement() ? static_cast<const XMLElement *>(this) : nullptr;
}

XMLElement *XMLNode::firstChildElement() const {
    XMLNode *node = m_firstChild.get();
    while (node && !node->isElement())
        node = node->m_next.get();
    return node ? node->toElement() : nullptr;
}

XMLElement *XMLNode::nextSiblingElement() const {
    XMLNode *node = m_next.get();
    while (node && !node->isElement())
        node = node->m_next.get();
    return node ? node->toElement() : nullptr;
}

XMLNode *XMLNode::nextInTree(const XMLNode *root, bool descend) const {
    if (descend && m_firstChild)
        return m_firstChild.get();
    for (const XMLNode *node = this; node && node != root; node = node->m_parent) {
        if (node->m_next)
            return node->m_next.get();
    }
    return nullptr;
}

XMLNode *XMLNode::appendChild(std::unique_ptr<XMLNode> node) {
    XMLNode *added = node.get();
    if (added && !added->m_next) {
        // A single node, the reader's case: link it without the general splice.
        added->m_parent = this;
        if (m_firstChild) {
            XMLNode *last = m_firstChild->m_prev;
            added->m_prev = last;
            m_firstChild->m_prev = added;
            last->m_next = std::move(node);
        } else {
            m_firstChild = std::move(node);
        }
        return added;
    }
    insertChildren(lastChild(), std::move(node));
    return added;
}

XMLNode *XMLNode::prependChild(std::unique_ptr<XMLNode> node) {
    XMLNode *added = node.get();
    insertChildren(nullptr, std::move(node));
    return added;
}

void XMLNode::linkNext(XMLNode *child, std::unique_ptr<XMLNode> next) {
    child->m_next = std::move(next);
    if (child->m_next)
        child->m_next->m_prev = child;
    else
        m_firstChild->m_prev = child; // the child is now the last one
}

std::unique_ptr<XMLNode> XMLNode::removeChild(XMLNode *child) {
    if (!child || child->m_parent != this)
        return nullptr;
    XMLNode *last = m_firstChild->m_prev;
    XMLNode *prev = child->previousSibling();
    std::unique_ptr<XMLNode> owned;
    if (!prev) {
        owned = std::move(m_firstChild);
        m_firstChild = std::move(owned->m_next);
        if (m_firstChild)
            m_firstChild->m_prev = last;
    } else {
        owned = std::move(prev->m_next);
        linkNext(prev, std::move(owned->m_next));
    }
    owned->m_parent = nullptr;
    owned->m_prev = owned.get();
    return owned;
}

std::unique_ptr<XMLNode> XMLNode::replaceChild(XMLNode *old, std::unique_ptr<XMLNode> node) {
    if (!old || old->m_parent != this)
        throw std::invalid_argument("replaceChild: node is not a child");
    insertChildren(old, std::move(node));
    return removeChild(old);
}

XMLNode *XMLNode::insertChildren(XMLNode *after, std::unique_ptr<XMLNode> chain) {
    if (after && after->m_parent != this)
        throw std::invalid_argument("insertChildren: node is not a child");
    if (!chain)
        return after;
    XMLNode *first = chain.get();
    XMLNode *last = first->m_prev;
    for (XMLNode *node = first; node; node = node->m_next.get())
        node->m_parent = this;
    if (!after) {
        if (m_firstChild) {
            first->m_prev = m_firstChild->m_prev;
            m_firstChild->m_prev = last;
            last->m_next = std::move(m_firstChild);
        }
        m_firstChild = std::move(chain);
    } else {
        linkNext(last, std::move(after->m_next));
        first->m_prev = after;
        after->m_next = std::move(chain);
    }
    return last;
}

std::unique_ptr<XMLNode> XMLNode::takeChildren() {
    for (XMLNode *node = m_firstChild.get(); node; node = node->m_next.get())
        node->m_parent = nullptr;
    return std::move(m_firstChild);
}

std::unique_ptr<XMLNode> XMLNode::cloneTree(XMLDocument &factory) const {
    std::unique_ptr<XMLNode> copy = cloneNode(factory);
    copy->m_line = m_line;
    // Walk the source in document order through its links, keeping the copy's cursor in step.
    const XMLNode *source = this;
    XMLNode *target = copy.get();
    for (;;) {
        if (source->m_firstChild) {
            source = source->m_firstChild.get();
        } else {
            while (source != this && !source->m_next) {
                source = source->m_parent;
                target = target->m_parent;
            }
            if (source == this)
                break;
            source = source->m_next.get();
            target = target->m_parent;
        }
        std::unique_ptr<XMLNode> child = source->cloneNode(factory);
        child->m_line = source->m_line;
        target = target->appendChild(std::move(child));
    }
    return copy;
}
