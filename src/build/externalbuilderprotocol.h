#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// One line of the conversation between the IDE and a separate build process.
struct ExternalBuilderCommand {
    enum Kind {
        Reload,     // "reload": the solution file changed on disk; read it again
        Modified,   // "modified NODE 'PROPERTY' VALUE": a property edited since the last request
        Build,      // "build NODE 'CONFIGURATION' THREADS": the node and its dependencies
        BuildOnly,  // "buildonly ...": the node without its dependencies
        BatchBuild, // "batchbuild ...": the node in its batch-build configurations
    };
    Kind kind = Reload;
    int node = 0;
    QString text;   // Modified: the property name; requests: the configuration
    QString value;  // Modified: the new value
    int number = 0; // requests: the build threads (0 = the processors online)

    bool operator==(const ExternalBuilderCommand &) const = default;
};

// The line format of the external builder, both sides. Texts are written between single
// quotes (the last text of a "modified" line runs to the end of the line); a backslash, a
// single quote and a line break inside a text are escaped as \\, \' and \n (\r), so that no
// name or value can end a line and smuggle in a request of its own. Texts without those
// characters are written exactly as before.
class ExternalBuilderProtocol {
public:
    static QByteArray reloadLine();
    static QByteArray modifiedLine(int node, const QString &property, const QString &value);
    // `kind` is Build, BuildOnly or BatchBuild.
    static QByteArray requestLine(ExternalBuilderCommand::Kind kind, int node,
                                  const QString &configuration, int threads);
    // Any of the lines above, without its line break (a carriage return before it is
    // ignored). Throws HException with a short phrase for anything else.
    static ExternalBuilderCommand parseLine(QByteArrayView line);

    static QByteArray escape(const QString &text);
};

// Cuts a byte stream from the other side into lines and parses each one; a line longer than
// a sane limit is an error rather than a reason to buffer without end.
class ExternalBuilderReader {
public:
    using CommandHandler = std::function<void(const ExternalBuilderCommand &command)>;

    explicit ExternalBuilderReader(CommandHandler handler);

    // Throws HException "line N: ..." for a line that is not a command.
    void feed(QByteArrayView data);
    // The end of the stream: an unfinished last line is an error.
    void finish();

private:
    void deliver(QByteArrayView line);

    CommandHandler m_handler;
    QByteArray m_partial;
    bool m_skipping = false; // in a line too long to read, until its end
    int m_line = 0;
};
