#pragma once

#include <QSet>
#include <QString>

#include <mutex>

// The files the steps of the running build have written, by absolute clean path. An input
// in this set is newer than anything checked against it, whatever the clocks say: on a file
// system with whole-second times a link in the same second as its compiles would otherwise
// look up to date. Workers add to it while others read it.
class ProducedFiles {
public:
    void add(const QString &path);
    bool contains(const QString &path) const;
    // Nothing written yet, as in a build with nothing to do.
    bool isEmpty() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QSet<QString> m_paths;
};
