// SPDX-License-Identifier: Apache-2.0
#pragma once

// Makes GoogleTest print Qt strings and byte arrays readably, with control
// bytes (the NUL of a set command, the CR of a reply) escaped.

#include <QByteArray>
#include <QString>

#include <ostream>
#include <string>

std::string escapeBytes(const QByteArray& bytes);

QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
QT_END_NAMESPACE
