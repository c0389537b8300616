// Feeds arbitrary bytes, cut into chunks whose sizes the input chooses, through the line
// splitter into the standard and the regular-expression parser and into a build log with
// interleaved builders. Every record must be well formed and the counters must agree.
#include "build/buildlog.h"
#include "build/outputlinesplitter.h"
#include "build/regexpdiagnosticparser.h"
#include "build/standarddiagnosticparser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkRecords(const QList<Bookmark> &records) {
    for (const Bookmark &record : records) {
        check(record.line() >= -1 && record.column() >= -1);
        check(record.kind() == 0 || (record.kind() >= 2 && record.kind() <= 4));
        check(record.file().isEmpty() || record.file().startsWith(u'/'));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    const char *text = reinterpret_cast<const char *>(data + 1);
    const std::size_t length = size - 1;

    auto standard = std::make_shared<StandardDiagnosticParser>();
    standard->setWorkingDirectory(QStringLiteral("/tmp"));
    auto regexp = std::make_shared<RegexpDiagnosticParser>(
        QStringList{QStringLiteral("^(\\S+)\\((\\d+)\\) ?: (.*)$"), QString(),
                    QStringLiteral("^\"([^\"]*)\", line (\\d+): (.*)$")});

    BuildLog log;
    log.setShowUnparsedErrorOutput(false);
    BuildLogItem *groups[2] = {log.beginGroup(QStringLiteral("one"), 0, 1),
                               log.beginGroup(QStringLiteral("two"), 0, 2)};
    int lineCount = 0;
    DiagnosticCounts expected;
    OutputLineSplitter lines([&](const QString &line) {
        QList<Bookmark> records;
        if (standard->parse(line, records))
            expected.add(records.front().kind());
        regexp->parse(line, records);
        checkRecords(records);
        int builder = 1 + lineCount % 2;
        log.processOutput(builder, standard, nullptr, line, lineCount % 3 == 0);
        ++lineCount;
    });
    for (std::size_t at = 0; at < length; at += chunk)
        lines.feed(text + at, qsizetype(std::min(chunk, length - at)));
    lines.finish();
    log.stepFailed(groups[0]);

    check(log.totals().errors == expected.errors);
    check(log.totals().warnings == expected.warnings);
    check(log.totals().notes == expected.notes);
    check(groups[0]->counts().errors + groups[1]->counts().errors == expected.errors);
    return 0;
}
