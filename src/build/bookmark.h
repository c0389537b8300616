#pragma once

#include <QString>

// One located record: a compiler diagnostic, a find-in-files hit, or a line of output that
// names a file. The editor opens the file at the line and column when the user picks it.
class Bookmark {
public:
    // The kinds the diagnostic parsers produce.
    enum Kind { Plain = 0, Note = 2, Warning = 3, Error = 4 };

    Bookmark() = default;
    Bookmark(QString file, int line, int column, QString text, int kind);

    // The empty record, for rows that point nowhere.
    static const Bookmark null;
    bool isNull() const;

    // Absolute path; empty when the record names no existing file.
    const QString &file() const { return m_file; }
    void setFile(const QString &file) { m_file = file; }
    // 1-based; -1 when absent.
    int line() const { return m_line; }
    int column() const { return m_column; }
    const QString &text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    int kind() const { return m_kind; }
    // Where a find-in-files match lies within its line; 0 for diagnostics.
    int position() const { return m_position; }
    int length() const { return m_length; }
    void setMatch(int position, int length);
    // The tool whose output held the record.
    const QString &generator() const { return m_generator; }
    void setGenerator(const QString &generator) { m_generator = generator; }
    // The tool stopped at this record (a fatal error): nothing after it comes from that file.
    bool isFinal() const { return m_final; }
    void setFinal(bool final) { m_final = final; }

    bool operator==(const Bookmark &other) const = default;

private:
    QString m_file;
    int m_line = -1;
    int m_column = -1;
    QString m_text;
    int m_kind = Plain;
    int m_position = 0;
    int m_length = 0;
    QString m_generator;
    bool m_final = false;
};
