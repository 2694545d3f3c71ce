// SPDX-License-Identifier: Apache-2.0
// Reading a plan or a secret from a regular file or standard input, within a bound.

#include "inputfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
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
        // By descriptor, so that every read returns what the pipe holds and the loop below sees its end.
        if (!file.open(fileno(stdin), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
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
    // A pipe hands over what its writer has written so far: read until the end of the input. One byte
    // more than allowed tells a file that grew, or a pipe that goes on, from one that fits.
    QByteArray bytes;
    constexpr qint64 kChunk = 64 * 1024;
    while (bytes.size() <= limit) {
        const qsizetype had = bytes.size();
        const qint64 want = std::min(kChunk, limit + 1 - had);
        bytes.resize(had + want);
        const qint64 got = file.read(bytes.data() + had, want);
        if (got < 0)
            return fail(file.errorString());
        bytes.resize(had + got);
        if (got == 0)
            break;
    }
    if (bytes.size() > limit)
        return tooLarge();
    return bytes;
}

} // namespace lv
