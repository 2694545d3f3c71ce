// SPDX-License-Identifier: Apache-2.0
// PrintTo for Qt strings, so failures read well.

#include "printers.h"

#include <cstdio>

std::string escapeBytes(const QByteArray& bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\\') {
            out += "\\\\";
        } else if (u < 0x20 || u >= 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << escapeBytes(s.toLatin1()) << '"';
}

void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"' << escapeBytes(b) << '"';
}
QT_END_NAMESPACE
