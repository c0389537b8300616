#include "scripthost/kvsysesclass.h"

#include "script/escontext.h"
#include "script/esnativearray.h"
#include "script/esobject.h"
#include "scripthost/crc32bzip2.h"
#include "scripthost/hostfiles.h"
#include "scripthost/processoutputlimit.h"
#include "scripthost/processwait.h"
#include "scripthost/scriptbytes.h"
#include "scripthost/scriptenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

KVSysESClass &self(ESObject *function) {
    return *static_cast<KVSysESClass *>(function->m_class);
}

ESValue renameFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(QFile::rename(c.toText(argv[0]), c.toText(argv[1])));
}

ESValue copyFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(QFile::copy(c.toText(argv[0]), c.toText(argv[1])));
}

ESValue removeFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(QFile::remove(c.toText(argv[0])));
}

ESValue fileExists(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(QFileInfo::exists(c.toText(argv[0])));
}

ESValue fileSize(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QFileInfo info(c.toText(argv[0]));
    return ESValue::fromNumber(info.exists() ? double(info.size()) : -1);
}

ESValue makeDirectory(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QString path = c.toText(argv[0]);
    return ESValue::fromBool(!path.isEmpty() && QDir().mkpath(path));
}

ESValue removeDirectory(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QString path = c.toText(argv[0]);
    return ESValue::fromBool(!path.isEmpty() && QDir().rmdir(path));
}

ESValue writeStringToFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(writeHostFile(c.toText(argv[0]), c.toText(argv[1]).toUtf8()));
}

ESValue appendStringToFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(appendHostFile(c.toText(argv[0]), c.toText(argv[1]).toUtf8()));
}

ESValue readStringFromFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    std::optional<QByteArray> bytes = readHostFile(c.toText(argv[0]));
    return bytes ? c.newString(QString::fromUtf8(*bytes)) : ESValue::undefined();
}

ESValue writeByteArrayToFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QByteArray bytes = scriptBytes(c, argv[1]);
    if (c.isStopped())
        return ESValue::undefined();
    return ESValue::fromBool(writeHostFile(c.toText(argv[0]), bytes));
}

ESValue readByteArrayFromFile(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    std::optional<QByteArray> bytes = readHostFile(c.toText(argv[0]));
    return bytes ? scriptArray(c, *bytes) : ESValue::undefined();
}

ESValue crc32(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    QByteArray bytes = scriptBytes(c, argv[0]);
    return ESValue::fromNumber(
        crc32Bzip2(reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size()));
}

ESValue run(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    QStringList words = QProcess::splitCommand(c.toText(argv[0]));
    if (words.isEmpty())
        return ESValue::fromNumber(-1);
    QString program = words.takeFirst();
    if (!c.toBoolean(argv[1]))
        return ESValue::fromBool(QProcess::startDetached(program, words));
    KVSysESClass &kvsys = self(function);
    kvsys.m_runStdout.clear();
    kvsys.m_runStderr.clear();
    QProcess process;
    ProcessOutputLimit outputLimit(process, &c);
    process.start(program, words);
    if (!process.waitForStarted(-1))
        return ESValue::fromNumber(-1);
    ProcessWait outcome = waitForProcess(process, &c);
    outputLimit.check();
    kvsys.m_runStdout = process.readAllStandardOutput();
    kvsys.m_runStderr = process.readAllStandardError();
    if (outcome != ProcessWait::Finished || process.exitStatus() != QProcess::NormalExit)
        return ESValue::fromNumber(-1);
    return ESValue::fromNumber(process.exitCode());
}

ESValue getRunStdout(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    return c.newString(QString::fromLocal8Bit(self(function).m_runStdout));
}

ESValue getRunStderr(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    return c.newString(QString::fromLocal8Bit(self(function).m_runStderr));
}

// The offset of a four-byte word inside an array, or a RangeError.
std::uint32_t wordOffset(ESContext &c, ESObject *array, const ESValue &offsetValue) {
    double length = c.toInteger(c.get(array, c.names().length));
    double offset = c.toNumber(offsetValue);
    if (!(offset >= 0) || offset != std::trunc(offset) || offset + 4 > length)
        c.throwRangeError(QStringLiteral("offset out of range"));
    return std::uint32_t(offset);
}

ESObject *arrayArgument(ESContext &c, const ESValue &value) {
    if (!value.isObject())
        c.throwTypeError(QStringLiteral("byte array expected"));
    return value.object;
}

ESValue packU32(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    ESObject *array = arrayArgument(c, argv[0]);
    std::uint32_t offset = wordOffset(c, array, argv[1]);
    std::uint32_t number = c.toUint32(argv[2]);
    bool little = c.toBoolean(argv[3]);
    for (std::uint32_t i = 0; i < 4; ++i) {
        std::uint32_t shift = little ? 8 * i : 8 * (3 - i);
        c.put(array, c.indexName(offset + i), ESValue::fromNumber((number >> shift) & 0xff));
    }
    return ESValue::undefined();
}

ESValue unpackU32(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    ESObject *array = arrayArgument(c, argv[0]);
    std::uint32_t offset = wordOffset(c, array, argv[1]);
    bool little = c.toBoolean(argv[2]);
    std::uint32_t number = 0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        std::uint32_t byte = c.toUint32(c.get(array, c.indexName(offset + i))) & 0xff;
        number |= byte << (little ? 8 * i : 8 * (3 - i));
    }
    return ESValue::fromNumber(number);
}

ESValue popup(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(
        self(function).environment().askYesNo(QStringLiteral("KVSys.popup"), c.toText(argv[0])));
}

const ESMethodDef kMethods[] = {
    {"renameFile", "KVSys.prototype.renameFile", 2, 0, renameFile,
     "<b>KVSys.renameFile(oldPath, newPath)</b> renames the file <i>oldPath</i> to "
     "<i>newPath</i>."},
    {"copyFile", "KVSys.prototype.copyFile", 2, 1, copyFile,
     "<b>KVSys.copyFile(srcPath, destPath)</b> copies the file <i>srcPath</i> to a new file "
     "<i>destPath</i>."},
    {"removeFile", "KVSys.prototype.removeFile", 1, 2, removeFile,
     "<b>KVSys.removeFile(path)</b> deletes the file <i>path</i>."},
    {"fileExists", "KVSys.prototype.fileExists", 1, 3, fileExists,
     "<b>KVSys.fileExists(path)</b> returns true if the file <i>path</i> exists."},
    {"fileSize", "KVSys.prototype.fileSize", 1, 4, fileSize,
     "<b>KVSys.fileSize(path)</b> returns the size in bytes of the file <i>path</i>, -1 if it "
     "does not exist."},
    {"makeDirectory", "KVSys.prototype.makeDirectory", 1, 5, makeDirectory,
     "<b>KVSys.makeDirectory(path)</b> creates the directory <i>path</i>."},
    {"removeDirectory", "KVSys.prototype.removeDirectory", 1, 6, removeDirectory,
     "<b>KVSys.removeDirectory(path)</b> removes the empty directory <i>path</i>."},
    {"writeStringToFile", "KVSys.prototype.writeStringToFile", 2, 7, writeStringToFile,
     "<b>KVSys.writeStringToFile(path, string)</b> creates the file <i>path</i> holding "
     "<i>string</i>."},
    {"readStringFromFile", "KVSys.prototype.readStringFromFile", 1, 8, readStringFromFile,
     "<b>KVSys.readStringFromFile(path)</b> returns the text of the file <i>path</i>."},
    {"writeByteArrayToFile", "KVSys.prototype.writeByteArrayToFile", 2, 9, writeByteArrayToFile,
     "<b>KVSys.writeByteArrayToFile(path, array)</b> creates the file <i>path</i> holding the "
     "bytes of <i>array</i>."},
    {"readByteArrayFromFile", "KVSys.prototype.readByteArrayFromFile", 1, 10, readByteArrayFromFile,
     "<b>KVSys.readByteArrayFromFile(path)</b> returns the bytes of the file <i>path</i>, "
     "undefined if it cannot be opened."},
    {"crc32", "KVSys.prototype.crc32", 1, 11, crc32,
     "<b>KVSys.crc32(array)</b> returns the CRC-32/BZIP2 of the bytes of <i>array</i>."},
    {"run", "KVSys.prototype.run", 2, 12, run,
     "<b>KVSys.run(cmd, wait)</b> starts the command line <i>cmd</i> and, if <i>wait</i> is "
     "true, waits for it and returns its exit code."},
    {"getRunStdout", "KVSys.prototype.getRunStdout", 0, 13, getRunStdout,
     "<b>KVSys.getRunStdout()</b> returns the standard output of the last waited run."},
    {"getRunStderr", "KVSys.prototype.getRunStderr", 0, 14, getRunStderr,
     "<b>KVSys.getRunStderr()</b> returns the standard error of the last waited run."},
    {"packU32", "KVSys.prototype.packU32", 4, 15, packU32,
     "<b>KVSys.packU32(array, offset, number, le)</b> stores <i>number</i> as four bytes at "
     "<i>offset</i> of <i>array</i>, little-endian if <i>le</i> is true."},
    {"unpackU32", "KVSys.prototype.unpackU32", 3, 16, unpackU32,
     "<b>KVSys.unpackU32(array, offset, le)</b> returns the four bytes at <i>offset</i> of "
     "<i>array</i> as an unsigned number, little-endian if <i>le</i> is true."},
    {"popup", "KVSys.prototype.popup", 1, 17, popup,
     "<b>KVSys.popup(text)</b> asks the yes/no question <i>text</i> and returns true for "
     "yes."},
    {"appendStringToFile", "KVSys.prototype.appendStringToFile", 2, 18, appendStringToFile,
     "<b>KVSys.appendStringToFile(path, string)</b> appends <i>string</i> to the file "
     "<i>path</i>."},
};

} // namespace

void KVSysESClass::install(ESContext &context, const char *name) {
    ESClass::install(context, name);
    defineMethods(context, m_prototype, kMethods);
}
