#pragma once

#include <QString>

#include <vector>

// The text a piece of code was compiled from, kept for the `sourceLine` of errors.
class ESSource {
public:
    ESSource(QString fileName, QString text);

    const QString &fileName() const { return m_fileName; }
    const QString &text() const { return m_text; }
    int lineCount() const { return int(m_lineStarts.size()); }
    // Line n (counted from 1) without its line break; empty when out of range.
    QString line(int n) const;

private:
    QString m_fileName;
    QString m_text;
    std::vector<int> m_lineStarts;
};
