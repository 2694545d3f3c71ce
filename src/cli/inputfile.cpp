// SPDX-License-Identifier: Apache-2.0
// Reading a plan or a secret from a regular file or standard input, within a bound.

#include "inputfile.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace lv {

namespace {

QString nameOf(const QString& path)
{
    return path == QLatin1String("-") ? QStringLiteral("standard input") : path;
}

} // namespace

std::optional<QByteArray> readInputFile(const QString& path, qint64 limit, QString* error)
{
    const auto fail = [&](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(nameOf(path), why);
        return std::nullopt;
    };
    const auto tooLarge = [&] { return fail(QStringLiteral("larger than %1 bytes").arg(limit)); };
    QFile file;
    if (path == QLatin1String("-")) {
        if (!file.open(stdin, QIODevice::ReadOnly))
            return fail(file.errorString());
    } else {
        const QFileInfo info(path);
        if (!info.exists())
            return fail(QStringLiteral("no such file"));
        if (!info.isFile())
            return fail(QStringLiteral("not a regular file"));
        if (info.size() > limit)
            return tooLarge();
        file.setFileName(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(file.errorString());
    }
    // One byte more than allowed tells a file that grew, or a pipe that goes on, from one that fits.
    QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit)
        return tooLarge();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return bytes;
}

} // namespace lv
