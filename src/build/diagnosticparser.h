#pragma once

#include "build/bookmark.h"

#include <QHash>
#include <QList>
#include <QString>

class ProjectElement;

// Reads the output of one build step, line by line, and turns the lines that name a source
// location or a severity into records. Each step has its own parser, set to the step's
// working directory, so relative file names resolve where the tool ran.
class DiagnosticParser {
public:
    DiagnosticParser();
    virtual ~DiagnosticParser();
    DiagnosticParser(const DiagnosticParser &) = delete;
    DiagnosticParser &operator=(const DiagnosticParser &) = delete;

    // Appends the records of one output line (without its line break) to `records`; true
    // when the line was recognised.
    virtual bool parse(const QString &line, QList<Bookmark> &records) = 0;
    // True when the line is to be dropped from the log altogether.
    virtual bool filterOut(const QString &line);
    // Relative file names are taken from here; empty means the process's current directory.
    virtual void setWorkingDirectory(const QString &directory);
    // The name of the tool whose output is parsed; copied into every record.
    virtual void setGenerator(const QString &generator);
    // The step has ended.
    virtual void finished(ProjectElement *project, const QString &configuration,
                          const QString &outputFile);

    const QString &workingDirectory() const { return m_workingDirectory; }
    const QString &generator() const { return m_generator; }

    // A line as the log shows it: carriage returns and terminal colour and link sequences
    // removed.
    static QString cleanLine(const QString &line);

protected:
    // `name` made absolute against the working directory and cleaned.
    QString absolutePath(const QString &name) const;
    // The same for a name that must be an existing file; empty when there is none. The
    // answer is cached: a log names the same few files over and over.
    QString existingFile(QStringView name);

private:
    QString m_workingDirectory;
    QString m_generator;
    QHash<QString, QString> m_existing;
    // The last answer again, without building a key: a log names one file many times in a row.
    bool m_haveLast = false;
    QString m_lastName;
    QString m_lastExisting;
};
