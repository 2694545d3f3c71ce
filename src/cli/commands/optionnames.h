// SPDX-License-Identifier: Apache-2.0
#pragma once

// The names of the commands' own options, each declared once: the registry makes its
// QCommandLineOption from it and the command reads the option through it, so a misspelt name does
// not compile (a string looked up by name would just read "not set").

#include <QCommandLineParser>
#include <QString>

namespace lv {

struct OptionName {
    const char* text;
    QString name() const { return QString::fromLatin1(text); }
};

inline constexpr OptionName kOptExpect{"expect"};
inline constexpr OptionName kOptIdle{"idle"};
inline constexpr OptionName kOptDryRun{"dry-run"};
inline constexpr OptionName kOptVerify{"verify"};
inline constexpr OptionName kOptBackup{"backup"};
inline constexpr OptionName kOptAccessCodeFile{"access-code-file"};
inline constexpr OptionName kOptAccessCode{"access-code"};
inline constexpr OptionName kOptAll{"all"};
inline constexpr OptionName kOptParallel{"parallel"};
inline constexpr OptionName kOptRoles{"roles"};
inline constexpr OptionName kOptForce{"force"};
inline constexpr OptionName kOptCsv{"csv"};
inline constexpr OptionName kOptFormat{"format"};
inline constexpr OptionName kOptSelect{"select"};
inline constexpr OptionName kOptDetails{"details"};

inline bool isSet(const QCommandLineParser& parser, OptionName option)
{
    return parser.isSet(option.name());
}

inline QString valueOf(const QCommandLineParser& parser, OptionName option)
{
    return parser.value(option.name());
}

} // namespace lv
