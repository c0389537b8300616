#pragma once

#include "script/esclass.h"

#include <QStringList>

// The class of the global object: the global functions (eval, parseInt, parseFloat, isNaN,
// isFinite, load) and the constants NaN, Infinity and undefined. Hosts derive from it to
// give the global object their own behaviour.
class ESNativeGlobal : public ESClass {
public:
    void install(ESContext &context, const char *name) override;

    // Directories `load` tries, in order, when a path cannot be opened as given.
    const QStringList &searchPath() const { return m_searchPath; }
    void setSearchPath(const QStringList &directories) { m_searchPath = directories; }

private:
    QStringList m_searchPath;
};
