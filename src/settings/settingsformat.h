#pragma once

#include <QString>

#include <map>
#include <string>
#include <string_view>

// The text of a settings file:
//   <!DOCTYPE Palindor_Settings_File>
//   <settings>
//     <setting name="NAME">VALUE</setting>
//   </settings>
// written as plain UTF-8 without an XML declaration.

inline constexpr std::string_view kSettingsHeader =
    "<!DOCTYPE Palindor_Settings_File>\n<settings>\n";
inline constexpr std::string_view kSettingsFooter = "</settings>\n";

// Markup characters as entities; a carriage return as a character reference, since readers
// drop a literal one from text. In attribute values (names) line breaks and tabs too, which
// readers would otherwise turn into blanks.
std::string escapeSettingText(const QString &text, bool attribute);

// One "  <setting name=...>...</setting>" line with its newline.
void appendSettingLine(std::string &out, const QString &name, const QString &value);

// Collects every "setting" element of the file: its attribute "name" and its text. Older
// files wrote the middle dot as "&middot;", which is not an XML entity; it reads back as
// the character. False, with the reader's message and line in `error`, when the text is not
// well-formed; `entries` is then unchanged.
bool parseSettingsText(std::string_view text, std::map<QString, QString> &entries, QString &error);
