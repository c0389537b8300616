#pragma once

#include "script/esclass.h"

#include <QByteArray>

#include <cstddef>

// `BinaryFile`: one byte image per context that scripts load, patch, check and save.
class BinaryFileESClass : public ESClass {
public:
    // The largest image: what a load file can address in one piece.
    static constexpr qsizetype kMaxSize = qsizetype(1) << 31;

    void install(ESContext &context, const char *name) override;

    const QByteArray &image() const { return m_image; }
    char *data() { return m_image.data(); }
    // Replaces the image, charging growth to the context's memory limit.
    void setImage(ESContext &context, QByteArray image);
    void resize(ESContext &context, double length, char fill);

private:
    void charge(ESContext &context, qsizetype size);

    QByteArray m_image;
    std::size_t m_charged = 0; // the largest size charged so far
};
