// SPDX-License-Identifier: Apache-2.0
#pragma once

// Interface names as the system spells them. On Unix a name is bytes, UTF-8 on every system we run on;
// Qt reads those bytes as Latin-1, so that "é" becomes "Ã©" and cannot be matched with what an
// operator types. Qt's text still holds the bytes exactly, one character each, so the two spellings
// convert both ways. Windows names come from the system as UTF-16 and need nothing.

#include <QString>

namespace lv {

// The name as the system spells it, from the name Qt gives; a name that is not UTF-8 stays as Qt
// read it.
inline QString systemInterfaceName(const QString& qtName)
{
#if defined(Q_OS_WIN)
    return qtName;
#else
    for (const QChar c : qtName)
        if (c.unicode() > 0xFF)
            return qtName;
    const QByteArray bytes = qtName.toLatin1();
    const QString decoded = QString::fromUtf8(bytes);
    return decoded.toUtf8() == bytes ? decoded : qtName;
#endif
}

// The name Qt gives the interface the system spells `name`.
inline QString qtInterfaceName(const QString& name)
{
#if defined(Q_OS_WIN)
    return name;
#else
    return QString::fromLatin1(name.toUtf8());
#endif
}

// The bytes the system knows the interface by, from the name Qt gives.
inline QByteArray interfaceNameBytes(const QString& qtName)
{
#if defined(Q_OS_WIN)
    return qtName.toUtf8();
#else
    return qtName.toLatin1();
#endif
}

} // namespace lv
