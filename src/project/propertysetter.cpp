#include "project/propertysetter.h"

#include "project/propertyclass.h"
#include "project/propertynode.h"
#include "project/propertyregistry.h"

void PropertySetter::set(PropertyNode &node, const PropertyClass &definition,
                         const std::string &configuration, const std::optional<std::string> &text) {
    std::optional<std::string> old = node.storedValue(configuration, definition.name());
    const bool wasModified = node.isModified();
    node.storeValue(configuration, definition.name(), text);
    if (old != text)
        m_history.append({&node, &definition, configuration, std::move(old),
                          QDateTime::currentDateTimeUtc(), wasModified, m_projectFlag});
    node.setModified(true);
    for (const Listener &listener : m_listeners)
        listener(node, definition, configuration);
    if (definition.name() == "macros")
        node.projectMacrosChanged();
}

void PropertySetter::setWithBuddy(PropertyNode &node, const PropertyClass &definition,
                                  const std::string &configuration,
                                  const std::optional<std::string> &text) {
    set(node, definition, configuration, text);
    if (definition.buddyName().empty() || !text)
        return;
    std::string buddyValue;
    if (!definition.getBuddyValue(*text, buddyValue))
        return;
    if (const PropertyClass *buddy = m_registry.findPropertyClass(&node, definition.buddyName()))
        set(node, *buddy, configuration, buddyValue);
}
