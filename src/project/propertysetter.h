#pragma once

#include "project/propertyhistory.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class PropertyClass;
class PropertyNode;
class PropertyRegistry;

// The project system's one way of storing a property value on a node: it keeps the history,
// marks the node modified, tells the listeners and keeps the project macros current.
class PropertySetter {
public:
    using Listener = std::function<void(PropertyNode &node, const PropertyClass &definition,
                                        const std::string &configuration)>;

    explicit PropertySetter(const PropertyRegistry &registry) : m_registry(registry) {}

    void addListener(Listener listener) { m_listeners.push_back(std::move(listener)); }

    // Stores `text` as the node's value of the property in the configuration (nothing
    // removes it, so the node inherits again). A changed text is recorded in the history;
    // the node is marked modified and the listeners are told either way.
    void set(PropertyNode &node, const PropertyClass &definition, const std::string &configuration,
             const std::optional<std::string> &text);
    // The same, then the companion property the definition names takes the value
    // getBuddyValue gives for the new text. The companion's own companion is left alone.
    void setWithBuddy(PropertyNode &node, const PropertyClass &definition,
                      const std::string &configuration, const std::optional<std::string> &text);

    const PropertyRegistry &registry() const { return m_registry; }
    PropertyHistory &history() { return m_history; }
    const PropertyHistory &history() const { return m_history; }

    // Copied into each history record; the project system decides what it marks.
    bool projectFlag() const { return m_projectFlag; }
    void setProjectFlag(bool flag) { m_projectFlag = flag; }

private:
    const PropertyRegistry &m_registry;
    PropertyHistory m_history;
    std::vector<Listener> m_listeners;
    bool m_projectFlag = false;
};
