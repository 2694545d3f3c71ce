// SPDX-License-Identifier: Apache-2.0
// The simulator as a child process on a free loopback port: its verbose log read back as the
// datagrams it received and sent, and its control channel driven line by line.

#include "devsimprocess.h"
#include "programs.h"

#include <QDeadlineTimer>
#include <QTest>

DevsimProcess::DevsimProcess(const QStringList& extraArgs)
{
    QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--verbose"),
                     QStringLiteral("--control")};
    args += extraArgs;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(testprograms::devsim(), args);
    if (!m_process.waitForStarted(5000))
        return;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        m_process.waitForReadyRead(100);
        readOutput();
        const int nl = m_output.indexOf('\n');
        if (nl >= 0) {
            const QByteArray first = m_output.left(nl);
            const int colon = first.lastIndexOf(':');
            if (first.contains("listening") && colon > 0) {
                m_port = static_cast<quint16>(first.mid(colon + 1).trimmed().toUInt());
                break;
            }
        }
        if (m_process.state() != QProcess::Running)
            break;
    }
}

DevsimProcess::~DevsimProcess()
{
    m_process.kill();
    m_process.waitForFinished(3000);
}

void DevsimProcess::readOutput()
{
    m_output += m_process.readAllStandardOutput();
#if defined(Q_OS_WIN)
    // Standard output in text mode ends each line with CR LF there; the
    // simulator escapes every CR it logs, so each one left is a line's end.
    m_output.replace("\r\n", "\n");
#endif
}

QString DevsimProcess::allOutput()
{
    readOutput();
    return QString::fromLatin1(m_output) + QString::fromLatin1(m_process.readAllStandardError());
}

QByteArray DevsimProcess::unescape(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            if (text[i + 1] == '\\') {
                out += '\\';
                ++i;
            } else if (text[i + 1] == 'x' && i + 3 < text.size()) {
                out += static_cast<char>(text.mid(i + 2, 2).toInt(nullptr, 16));
                i += 3;
            } else {
                out += text[i];
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

QList<QByteArray> DevsimProcess::linesWith(const char* kind)
{
    m_process.waitForReadyRead(0);
    readOutput();
    QList<QByteArray> result;
    const QByteArray prefix = QByteArray(kind) + ' ';
    // Only whole lines: the last one may still be on its way through the pipe.
    QList<QByteArray> lines = m_output.split('\n');
    lines.removeLast();
    for (const QByteArray& line : lines) {
        if (!line.startsWith(prefix))
            continue;
        // "RX <peer> <bytes>": the bytes follow the second blank.
        const int sp = line.indexOf(' ', prefix.size());
        if (sp < 0)
            continue;
        // The simulator writes the escaped bytes for a UTF-8 terminal.
        result.append(unescape(QString::fromUtf8(line.mid(sp + 1)).toLatin1()));
    }
    return result;
}

QList<QByteArray> DevsimProcess::received()
{
    return linesWith("RX");
}

QList<QByteArray> DevsimProcess::sent()
{
    return linesWith("TX");
}

QList<QByteArray> DevsimProcess::control(const QByteArray& line, int timeoutMs)
{
    m_process.waitForReadyRead(0);
    readOutput();
    // The answer follows everything printed so far; start at the beginning of the line being printed.
    const qsizetype from = m_output.lastIndexOf('\n') + 1;
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
    QDeadlineTimer deadline(timeoutMs);
    do {
        m_process.waitForReadyRead(20);
        readOutput();
        QList<QByteArray> answer;
        for (const QByteArray& l : m_output.mid(from).split('\n')) {
            if (l.startsWith("RX ") || l.startsWith("TX "))
                continue;
            if (l == "end")
                return answer;
            answer.append(l);
        }
    } while (!deadline.hasExpired() && m_process.state() == QProcess::Running);
    return {};
}

QList<QByteArray> DevsimProcess::waitForReceived(const QByteArray& prefix, int count, int timeoutMs)
{
    QList<QByteArray> matching;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            matching.clear();
            for (const QByteArray& d : received())
                if (d.startsWith(prefix))
                    matching.append(d);
            return matching.size() >= count;
        },
        timeoutMs));
    return matching;
}
