// SPDX-License-Identifier: Apache-2.0
#pragma once

// The one boundary between Qt's strings and the single-byte text of the protocol: every byte of a
// datagram is one Latin-1 character, and a character outside Latin-1 cannot be sent as typed.

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace lv {

inline QString fromLatin1(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string toLatin1(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline bool isLatin1(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace lv
