#include "build/externalbuilderprotocol.h"

#include "core/hexception.h"

#include <QList>

#include <gtest/gtest.h>

#include <string>

namespace {

using Command = ExternalBuilderCommand;

std::string parseError(QByteArrayView line) {
    try {
        ExternalBuilderProtocol::parseLine(line);
    } catch (const HException &error) {
        return error.message();
    }
    return "no error";
}

TEST(ExternalBuilderProtocolTest, PlainNamesKeepTheirForm) {
    EXPECT_EQ(ExternalBuilderProtocol::reloadLine(), "reload\n");
    EXPECT_EQ(ExternalBuilderProtocol::modifiedLine(7, "c_preprocessor_definitions", "DEBUG X=1"),
              "modified 7 'c_preprocessor_definitions' DEBUG X=1\n");
    EXPECT_EQ(ExternalBuilderProtocol::requestLine(Command::Build, 3, "Debug", 4),
              "build 3 'Debug' 4\n");
    EXPECT_EQ(ExternalBuilderProtocol::requestLine(Command::BuildOnly, 0, "Release Arm", 0),
              "buildonly 0 'Release Arm' 0\n");
    EXPECT_EQ(ExternalBuilderProtocol::requestLine(Command::BatchBuild, 12, "", 128),
              "batchbuild 12 '' 128\n");
}

TEST(ExternalBuilderProtocolTest, HostileTextsCannotInjectARequest) {
    // A configuration named to end the line and start a clean request.
    QString hostile = "Debug' 1\nbuild 0 'x";
    QByteArray line = ExternalBuilderProtocol::requestLine(Command::Build, 2, hostile, 1);
    EXPECT_EQ(line, "build 2 'Debug\\' 1\\nbuild 0 \\'x' 1\n");
    EXPECT_EQ(line.count('\n'), 1);
    EXPECT_EQ(ExternalBuilderProtocol::parseLine(line.chopped(1)),
              (Command{Command::Build, 2, hostile, {}, 1}));

    QString value = "C:\\inc;it's\r\nnew\\n";
    line = ExternalBuilderProtocol::modifiedLine(5, "a'b", value);
    EXPECT_EQ(line, "modified 5 'a\\'b' C:\\\\inc;it\\'s\\r\\nnew\\\\n\n");
    EXPECT_EQ(ExternalBuilderProtocol::parseLine(line.chopped(1)),
              (Command{Command::Modified, 5, "a'b", value, 0}));
    // UTF-8 names come back unchanged.
    line = ExternalBuilderProtocol::requestLine(Command::BatchBuild, 1, u"Größe ✓"_qs, 2);
    EXPECT_EQ(ExternalBuilderProtocol::parseLine(line.chopped(1)).text, u"Größe ✓"_qs);
}

TEST(ExternalBuilderProtocolTest, ReadsEachForm) {
    EXPECT_EQ(ExternalBuilderProtocol::parseLine("reload"), Command{});
    EXPECT_EQ(ExternalBuilderProtocol::parseLine("reload\r"), Command{});
    EXPECT_EQ(ExternalBuilderProtocol::parseLine("modified 1 'p' "),
              (Command{Command::Modified, 1, "p", "", 0}));
    EXPECT_EQ(ExternalBuilderProtocol::parseLine("buildonly 2147483647 'D' 0"),
              (Command{Command::BuildOnly, 2147483647, "D", {}, 0}));
}

TEST(ExternalBuilderProtocolTest, RejectsMalformedLines) {
    EXPECT_EQ(parseError(""), "unknown request ''");
    EXPECT_EQ(parseError("rebuild 1 'D' 1"), "unknown request 'rebuild'");
    EXPECT_EQ(parseError("reload now"), "unexpected text at the end of the line");
    EXPECT_EQ(parseError("build"), "expected a space after the request");
    EXPECT_EQ(parseError("build x 'D' 1"), "bad node number");
    EXPECT_EQ(parseError("build 1'D' 1"), "expected a space after the node number");
    EXPECT_EQ(parseError("build -1 'D' 1"), "bad node number");
    EXPECT_EQ(parseError("build 2147483648 'D' 1"), "bad node number");
    EXPECT_EQ(parseError("build 1 D 1"), "expected a quoted text");
    EXPECT_EQ(parseError("build 1 'D 1"), "unterminated text");
    EXPECT_EQ(parseError("build 1 'D\\"), "unterminated text");
    EXPECT_EQ(parseError("build 1 'D\\t' 1"), "bad escape in text");
    EXPECT_EQ(parseError("build 1 'D' 1 2"), "unexpected text at the end of the line");
    EXPECT_EQ(parseError("build 1 'D'"), "expected a space after the quoted text");
    EXPECT_EQ(parseError("modified 1 'p' it's"), "unescaped quote in text");
}

TEST(ExternalBuilderReaderTest, StreamsLinesInChunks) {
    QByteArray stream = ExternalBuilderProtocol::reloadLine() +
                        ExternalBuilderProtocol::modifiedLine(1, "p", "v\nw") +
                        ExternalBuilderProtocol::requestLine(Command::Build, 1, "D", 2);
    for (qsizetype chunk : {1, 3, 1000}) {
        QList<Command> commands;
        ExternalBuilderReader reader([&](const Command &command) { commands << command; });
        for (qsizetype at = 0; at < stream.size(); at += chunk)
            reader.feed(QByteArrayView(stream).sliced(at, qMin(chunk, stream.size() - at)));
        reader.finish();
        EXPECT_EQ(commands,
                  (QList<Command>{Command{}, Command{Command::Modified, 1, "p", "v\nw", 0},
                                  Command{Command::Build, 1, "D", {}, 2}}));
    }
}

TEST(ExternalBuilderReaderTest, ErrorsNameTheLine) {
    ExternalBuilderReader reader([](const Command &) {});
    reader.feed("reload\n");
    try {
        reader.feed("build 1 'D'\n");
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), "line 2: expected a space after the quoted text");
    }
    reader.feed("reload");
    try {
        reader.finish();
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), "line 3: incomplete line");
    }

    // An overlong line is one error, however it arrives; the lines after it still count.
    QList<Command> after;
    ExternalBuilderReader flood([&](const Command &command) { after << command; });
    QByteArray chunk(1 << 16, 'x');
    int errors = 0;
    for (int i = 0; i < 40; ++i) {
        try {
            flood.feed(i == 39 ? chunk + "\nreload\n" : chunk);
        } catch (const HException &error) {
            EXPECT_EQ(error.message(), "line 1: line too long");
            ++errors;
        }
    }
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(after, QList<Command>{Command{}});
    flood.feed("build 1 'D' 1\n");
    EXPECT_EQ(after.size(), 2);
}

} // namespace
