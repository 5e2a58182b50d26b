#pragma once
// Test names that read as words and are the same in every build: ctest lists
// them without printing parameter values (NO_PRETTY_VALUES), so each
// parameterised suite names its cases with these.
#include <QString>

#include <cctype>
#include <string>

// `text` with every character that may not stand in a test name made an
// underscore; "Empty" for nothing.
inline std::string caseName(const std::string &text)
{
    std::string out;
    for (unsigned char c : text)
        out += std::isalnum(c) ? char(c) : '_';
    return out.empty() ? std::string("Empty") : out;
}

inline std::string caseName(const QString &text)
{
    return caseName(text.toStdString());
}

inline std::string hexName(int value)
{
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0')).toStdString();
}
