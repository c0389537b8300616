#include "xml/xmldata.h"
#include "xmltesting.h"

#include <stdexcept>

#include <pthread.h>

namespace {

std::unique_ptr<XMLElement> element(const char *tag) {
    return std::make_unique<XMLElement>(tag);
}

// The child tags in order, after checking every link the tree operations maintain.
std::string children(const XMLNode &parent) {
    std::string tags;
    const XMLNode *previous = nullptr;
    for (const XMLNode *child = parent.firstChild(); child; child = child->nextSibling()) {
        EXPECT_EQ(child->parent(), &parent);
        EXPECT_EQ(child->previousSibling(), previous);
        tags += (tags.empty() ? "" : " ") + child->toElement()->tagName();
        previous = child;
    }
    EXPECT_EQ(parent.lastChild(), previous);
    return tags;
}

// Runs the work on a thread with a small stack, so that any walk that recurses per level or
// per sibling overflows at once instead of hiding inside the main thread's 8 MiB.
void onSmallStack(void (*work)()) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 512 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void *work) -> void * {
                      reinterpret_cast<void (*)()>(work)();
                      return nullptr;
                  },
                  reinterpret_cast<void *>(work)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

} // namespace

TEST(XMLNodeTree, AppendPrependAndInsertKeepTheChainConsistent) {
    XMLElement root("root");
    XMLNode *b = root.appendChild(element("b"));
    root.prependChild(element("a"));
    root.appendChild(element("d"));
    root.insertChildren(b, element("c"));
    EXPECT_EQ(children(root), "a b c d");
    root.insertChildren(nullptr, element("front"));
    root.insertChildren(root.lastChild(), element("back"));
    EXPECT_EQ(children(root), "front a b c d back");
}

TEST(XMLNodeTree, RemoveFromEveryPositionAndIgnoreStrangers) {
    XMLElement root("root");
    XMLNode *a = root.appendChild(element("a"));
    XMLNode *b = root.appendChild(element("b"));
    XMLNode *c = root.appendChild(element("c"));
    std::unique_ptr<XMLNode> taken = root.removeChild(b);
    ASSERT_EQ(taken.get(), b);
    EXPECT_EQ(taken->parent(), nullptr);
    EXPECT_EQ(taken->nextSibling(), nullptr);
    EXPECT_EQ(children(root), "a c");
    EXPECT_EQ(root.removeChild(c).get(), c);
    EXPECT_EQ(children(root), "a");
    EXPECT_EQ(root.removeChild(a).get(), a);
    EXPECT_EQ(children(root), "");

    XMLElement other("other");
    XMLNode *stranger = other.appendChild(element("x"));
    EXPECT_EQ(root.removeChild(stranger), nullptr);
    EXPECT_EQ(root.removeChild(nullptr), nullptr);
    EXPECT_EQ(children(other), "x");
}

TEST(XMLNodeTree, ReplaceTakesOverThePlace) {
    XMLElement root("root");
    root.appendChild(element("a"));
    XMLNode *b = root.appendChild(element("b"));
    root.appendChild(element("c"));
    std::unique_ptr<XMLNode> old = root.replaceChild(b, element("B"));
    EXPECT_EQ(old.get(), b);
    EXPECT_EQ(children(root), "a B c");
    XMLElement other("other");
    XMLNode *stranger = other.appendChild(element("x"));
    EXPECT_THROW(root.replaceChild(stranger, element("y")), std::invalid_argument);
    EXPECT_THROW(root.insertChildren(stranger, element("y")), std::invalid_argument);
}

TEST(XMLNodeTree, ChainsMoveBetweenParents) {
    // What the preprocessor does when it keeps a conditional: its children take its place.
    XMLElement root("root");
    root.appendChild(element("first"));
    XMLNode *cond = root.appendChild(element("if"));
    root.appendChild(element("last"));
    static_cast<XMLElement *>(cond)->appendChild(element("x"));
    static_cast<XMLElement *>(cond)->appendChild(element("y"));

    std::unique_ptr<XMLNode> chain = cond->takeChildren();
    EXPECT_EQ(cond->firstChild(), nullptr);
    EXPECT_EQ(chain->parent(), nullptr);
    XMLNode *last = root.insertChildren(cond, std::move(chain));
    EXPECT_EQ(last->toElement()->tagName(), "y");
    root.removeChild(cond);
    EXPECT_EQ(children(root), "first x y last");

    XMLElement empty("empty");
    empty.insertChildren(nullptr, root.takeChildren());
    EXPECT_EQ(children(empty), "first x y last");
    EXPECT_EQ(children(root), "");
}

TEST(XMLNodeTree, WalkInDocumentOrderWithinASubtree) {
    XMLDocument document;
    ASSERT_TRUE(document.parse("<r><a><b><c/></b><d/></a><e><f/></e></r><!-- -->"));
    const XMLNode *root = document.rootElement();
    auto walk = [](const XMLNode *from, const XMLNode *within, const char *skip) {
        std::string tags;
        for (const XMLNode *node = from; node;) {
            const std::string &tag = node->toElement()->tagName();
            tags += tag;
            node = node->nextInTree(within, tag != skip);
        }
        return tags;
    };
    EXPECT_EQ(walk(root, root, ""), "rabcdef");
    EXPECT_EQ(walk(root, root, "a"), "raef") << "a's children are skipped";
    const XMLNode *a = root->firstChild();
    EXPECT_EQ(walk(a, a, ""), "abcd") << "the walk stays inside the subtree";
    EXPECT_EQ(walk(a->firstChild(), nullptr, ""), "bcdef");
}

TEST(XMLNodeCopy, DeepCopyUsesTheFactoryAndStandsAlone) {
    TypedDocument document(true);
    ASSERT_TRUE(document.parse("<r><a k='1'>text<b/><!--c--><![CDATA[d]]></a><z/></r>"));
    XMLNode *a = document.rootElement()->firstChild();
    std::unique_ptr<XMLNode> copy = a->cloneTree(document);
    EXPECT_EQ(written(*copy), written(*a));
    EXPECT_EQ(copy->nextSibling(), nullptr) << "following siblings are not copied";
    EXPECT_EQ(copy->parent(), nullptr);
    EXPECT_NE(dynamic_cast<TypedElement *>(copy.get()), nullptr);
    EXPECT_NE(dynamic_cast<TypedElement *>(copy->firstChild()->nextSibling()), nullptr);

    copy->toElement()->setAttribute("k", "2");
    static_cast<XMLData *>(copy->firstChild())->setData("changed");
    EXPECT_EQ(written(*a), "<a k=\"1\">text<b/><!--c--><![CDATA[d]]></a>");
}

// Hostile shapes must not reach the stack in the reader, the writer, copies or destructors.
TEST(XMLNodeHostile, MillionSiblingsAndDeepNesting) {
    onSmallStack(+[] {
        std::string wide = "<r>";
        for (int i = 0; i < 1000000; ++i)
            wide += "<b/>";
        wide += "</r>";
        XMLDocument document;
        ASSERT_TRUE(document.parse(wide));
        EXPECT_EQ(written(*document.rootElement()), wide);
        std::unique_ptr<XMLNode> copy = document.rootElement()->cloneTree(document);
        EXPECT_EQ(copy->lastChild()->previousSibling()->toElement()->tagName(), "b");

        const int depth = 100000;
        std::string deep;
        for (int i = 0; i < depth; ++i)
            deep += "<d>";
        for (int i = 0; i < depth; ++i)
            deep += "</d>";
        ASSERT_TRUE(document.parse(deep));
        std::string expected;
        for (int i = 1; i < depth; ++i)
            expected += "<d>";
        expected += "<d/>";
        for (int i = 1; i < depth; ++i)
            expected += "</d>";
        EXPECT_EQ(written(*document.rootElement()), expected);
        copy = document.rootElement()->cloneTree(document);
        int levels = 0;
        for (const XMLNode *node = copy.get(); node; node = node->firstChild())
            ++levels;
        EXPECT_EQ(levels, depth);
    });
}
