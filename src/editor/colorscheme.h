#pragma once

#include "editor/styletable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// How one style looks: colours are 0xRRGGBB.
struct SchemeColor {
    std::optional<std::uint32_t> color;
    std::optional<std::uint32_t> background;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const SchemeColor &) const = default;
};

// One scheme: the entries it gives, and the scheme its missing entries come from.
struct ColorScheme {
    QString name;
    QString inherits; // empty: none
    bool hidden = false;
    std::array<std::optional<SchemeColor>, kStyleCount> entries;

    bool operator==(const ColorScheme &) const = default;
};

// The schemes of one or more colour-scheme files ("Tovan_Color_Scheme_File"):
//   <schemes>
//     <scheme name="N" inherits="P" hidden="1">
//       <scheme-color name="comment" color="#rrggbb" background-color="#rrggbb" bold="1"/>
// A scheme read later replaces one of the same name.
class ColorSchemeSet {
public:
    // The schemes that ship: "Default" (dark text on white) and "Dark", which inherits from
    // it.
    static ColorSchemeSet builtin();

    // Reads a scheme file and adds its schemes. Throws HException ("FILE:LINE: message") on a
    // file that cannot be read or is not a scheme file; unknown style names and unreadable
    // colours are skipped with a warning (appended to `warnings` when given).
    void readFile(const QString &path, QStringList *warnings = nullptr);
    void readText(const QByteArray &xml, const QString &source, QStringList *warnings = nullptr);
    // The file text of every scheme, in order.
    QByteArray toXml() const;
    // Writes toXml() to `path`, replacing it only once written in full; throws HException.
    void writeFile(const QString &path) const;

    void add(const ColorScheme &scheme);
    const ColorScheme *find(const QString &name) const;
    const std::vector<ColorScheme> &schemes() const { return m_schemes; }

    // The scheme with its missing entries taken from the schemes it inherits from, nearest
    // first. A parent that does not exist ends the chain, and so does a cycle, with a warning
    // either way. Throws HException when `name` itself is unknown.
    ColorScheme resolved(const QString &name, QStringList *warnings = nullptr) const;

private:
    std::vector<ColorScheme> m_schemes;
};

// "#rrggbb" from 0xRRGGBB, and back (nullopt unless exactly "#" and six hex digits).
QString colorName(std::uint32_t rgb);
std::optional<std::uint32_t> parseColorName(const QString &text);
