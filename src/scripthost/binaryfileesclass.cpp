#include "scripthost/binaryfileesclass.h"

#include "core/hexception.h"
#include "loadfile/codebuffer.h"
#include "script/escontext.h"
#include "script/esobject.h"
#include "scripthost/crc32bzip2.h"
#include "scripthost/hostfiles.h"
#include "scripthost/scriptbytes.h"

#include <cmath>

namespace {

BinaryFileESClass &self(ESObject *function) {
    return *static_cast<BinaryFileESClass *>(function->m_class);
}

// A range [offset, offset + length) that must lie inside the image, or a RangeError.
struct Range {
    qsizetype offset;
    qsizetype length;
};

qsizetype position(ESContext &c, const ESValue &value, qsizetype limit) {
    double d = c.toNumber(value);
    if (!(d >= 0) || d != std::trunc(d) || d > double(limit))
        c.throwRangeError(QStringLiteral("offset out of range"));
    return qsizetype(d);
}

Range range(ESContext &c, const QByteArray &image, const ESValue &offset, const ESValue &length) {
    Range r;
    r.offset = offset.isUndefined() ? 0 : position(c, offset, image.size());
    r.length = length.isUndefined() ? image.size() - r.offset
                                    : position(c, length, image.size() - r.offset);
    return r;
}

bool littleEndian(ESContext &c, const ESValue &flag) {
    return flag.isUndefined() || c.toBoolean(flag);
}

ESValue load(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    std::optional<QByteArray> bytes = readHostFile(c.toText(argv[0]));
    if (!bytes)
        return ESValue::fromBool(false);
    self(function).setImage(c, std::move(*bytes));
    return ESValue::fromBool(true);
}

ESValue loadAppend(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    std::optional<QByteArray> bytes = readHostFile(c.toText(argv[0]));
    if (!bytes)
        return ESValue::fromBool(false);
    BinaryFileESClass &file = self(function);
    if (file.image().size() + bytes->size() > BinaryFileESClass::kMaxSize)
        c.throwRangeError(QStringLiteral("out of memory"));
    file.setImage(c, file.image() + *bytes);
    return ESValue::fromBool(true);
}

ESValue save(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    return ESValue::fromBool(writeHostFile(c.toText(argv[0]), self(function).image()));
}

ESValue saveRange(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    const QByteArray &image = self(function).image();
    qsizetype offset = position(c, argv[1], image.size());
    double length = c.toNumber(argv[2]);
    if (!(length >= 0))
        c.throwRangeError(QStringLiteral("offset out of range"));
    qsizetype count = qsizetype(std::min(length, double(image.size() - offset)));
    return ESValue::fromBool(writeHostFile(c.toText(argv[0]), image.mid(offset, count)));
}

ESValue peekUint32(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    const QByteArray &image = self(function).image();
    qsizetype offset = position(c, argv[0], image.size() - 4);
    const auto *p = reinterpret_cast<const std::uint8_t *>(image.constData()) + offset;
    std::uint32_t value = littleEndian(c, argv[1])
                              ? p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24
                              : std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    return ESValue::fromNumber(value);
}

ESValue pokeUint32(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    BinaryFileESClass &file = self(function);
    qsizetype offset = position(c, argv[0], file.image().size() - 4);
    std::uint32_t value = c.toUint32(argv[1]);
    bool little = littleEndian(c, argv[2]);
    char *p = file.data() + offset;
    for (int i = 0; i < 4; ++i)
        p[i] = char(value >> (little ? 8 * i : 8 * (3 - i)));
    return ESValue::undefined();
}

ESValue peekBytes(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    const QByteArray &image = self(function).image();
    Range r = range(c, image, argv[0], argv[1]);
    return scriptArray(c, image.constData() + r.offset, r.length);
}

ESValue pokeBytes(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    BinaryFileESClass &file = self(function);
    qsizetype offset = position(c, argv[0], file.image().size());
    QByteArray bytes = scriptBytes(c, argv[1]);
    if (bytes.size() > file.image().size() - offset)
        c.throwRangeError(QStringLiteral("offset out of range"));
    std::copy(bytes.cbegin(), bytes.cend(), file.data() + offset);
    return ESValue::undefined();
}

ESValue crc32(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    const QByteArray &image = self(function).image();
    Range r = range(c, image, argv[0], argv[1]);
    return ESValue::fromNumber(
        crc32Bzip2(reinterpret_cast<const std::uint8_t *>(image.constData()) + r.offset,
                   std::size_t(r.length)));
}

ESValue length(ESContext &, ESObject *function, const ESValue &, int, ESValue *) {
    return ESValue::fromNumber(double(self(function).image().size()));
}

ESValue resize(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    self(function).resize(c, c.toNumber(argv[0]), char(c.toUint32(argv[1]) & 0xff));
    return ESValue::undefined();
}

// Writes the image as a load file placed at an address: "hex" (Intel HEX), "srec", "txt",
// "lst" or "bin".
ESValue saveAs(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    const QByteArray &image = self(function).image();
    QString path = c.toText(argv[0]);
    QString format = argv[1].isUndefined() ? QStringLiteral("bin") : c.toText(argv[1]);
    double address = argv[2].isUndefined() ? 0 : c.toNumber(argv[2]);
    if (!(address >= 0) || address != std::trunc(address) ||
        address + double(image.size()) > 4294967296.0)
        c.throwRangeError(QStringLiteral("address out of range"));
    try {
        std::unique_ptr<CodeBuffer> writer = createWriter(format.toStdString(), path.toStdString());
        if (!writer)
            c.throwError(QStringLiteral("unknown load file format: ") + format);
        writer->setAddress(std::uint32_t(address));
        writer->putBytes(reinterpret_cast<const std::uint8_t *>(image.constData()),
                         std::size_t(image.size()));
        writer->finish(0);
    } catch (const HException &e) {
        c.throwError(QString::fromStdString(e.what()));
    }
    return ESValue::fromBool(true);
}

const ESMethodDef kMethods[] = {
    {"load", "BinaryFile.prototype.load", 1, 0, load,
     "<b>BinaryFile.load(path)</b> replaces the image by the bytes of the file <i>path</i>."},
    {"loadAppend", "BinaryFile.prototype.loadAppend", 1, 1, loadAppend,
     "<b>BinaryFile.loadAppend(path)</b> appends the bytes of the file <i>path</i> to the "
     "image."},
    {"save", "BinaryFile.prototype.save", 1, 2, save,
     "<b>BinaryFile.save(path)</b> writes the image to the file <i>path</i>."},
    {"saveRange", "BinaryFile.prototype.saveRange", 3, 3, saveRange,
     "<b>BinaryFile.saveRange(path, offset, length)</b> writes at most <i>length</i> bytes "
     "from <i>offset</i> to the file <i>path</i>."},
    {"peekUint32", "BinaryFile.prototype.peekUint32", 2, 4, peekUint32,
     "<b>BinaryFile.peekUint32(offset, littleEndian)</b> returns the 32-bit word at "
     "<i>offset</i>, big-endian if <i>littleEndian</i> is false."},
    {"pokeUint32", "BinaryFile.prototype.pokeUint32", 3, 5, pokeUint32,
     "<b>BinaryFile.pokeUint32(offset, value, littleEndian)</b> stores the 32-bit word "
     "<i>value</i> at <i>offset</i>, big-endian if <i>littleEndian</i> is false."},
    {"peekBytes", "BinaryFile.prototype.peekBytes", 2, 6, peekBytes,
     "<b>BinaryFile.peekBytes(offset, length)</b> returns <i>length</i> bytes from "
     "<i>offset</i>."},
    {"pokeBytes", "BinaryFile.prototype.pokeBytes", 2, 7, pokeBytes,
     "<b>BinaryFile.pokeBytes(offset, byteArray)</b> stores the bytes of <i>byteArray</i> at "
     "<i>offset</i>."},
    {"crc32", "BinaryFile.prototype.crc32", 2, 8, crc32,
     "<b>BinaryFile.crc32(offset, length)</b> returns the CRC-32/BZIP2 of <i>length</i> bytes "
     "from <i>offset</i>."},
    {"length", "BinaryFile.prototype.length", 0, 9, length,
     "<b>BinaryFile.length()</b> returns the size of the image."},
    {"resize", "BinaryFile.prototype.resize", 2, 10, resize,
     "<b>BinaryFile.resize(length, fill)</b> sets the size of the image to <i>length</i>, "
     "padding new bytes with <i>fill</i>."},
    {"saveAs", "BinaryFile.prototype.saveAs", 3, 11, saveAs,
     "<b>BinaryFile.saveAs(path, format, address)</b> writes the image placed at "
     "<i>address</i> as a load file of <i>format</i> (hex, srec, txt, lst or bin)."},
};

} // namespace

void BinaryFileESClass::install(ESContext &context, const char *name) {
    ESClass::install(context, name);
    defineMethods(context, m_prototype, kMethods);
}

void BinaryFileESClass::charge(ESContext &context, qsizetype size) {
    if (std::size_t(size) > m_charged) {
        context.reserveMemory(std::size_t(size) - m_charged);
        m_charged = std::size_t(size);
    }
}

void BinaryFileESClass::setImage(ESContext &context, QByteArray image) {
    charge(context, image.size());
    m_image = std::move(image);
}

void BinaryFileESClass::resize(ESContext &context, double length, char fill) {
    if (!(length >= 0) || length != std::trunc(length))
        context.throwRangeError(QStringLiteral("invalid length"));
    if (length > double(kMaxSize))
        context.throwRangeError(QStringLiteral("out of memory"));
    qsizetype size = qsizetype(length);
    charge(context, size);
    qsizetype old = m_image.size();
    try {
        m_image.resize(size);
    } catch (const std::bad_alloc &) {
        context.throwRangeError(QStringLiteral("out of memory"));
    }
    if (size > old)
        std::fill(m_image.begin() + old, m_image.end(), fill);
}
