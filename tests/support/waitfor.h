// SPDX-License-Identifier: Apache-2.0
#pragma once

// Waiting for a condition inside a GoogleTest case. QTest's QTRY_* macros report a time-out to QTest's
// own log and return, which GoogleTest never sees: the case would pass. These wait with the event loop
// running, then assert with GoogleTest, so a time-out fails the case.

#include <QByteArray>
#include <QList>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

// Waits up to `ms` for `actual == expected`, then ASSERT_EQ(actual, expected).
#define LV_WAIT_EQ(actual, expected, ms)                                                                               \
    do {                                                                                                               \
        static_cast<void>(QTest::qWaitFor([&] { return (actual) == (expected); }, ms));                                \
        ASSERT_EQ(actual, expected);                                                                                   \
    } while (0)

// Waits up to `ms` for `condition`, then ASSERT_TRUE(condition).
#define LV_WAIT_TRUE(condition, ms)                                                                                    \
    do {                                                                                                               \
        static_cast<void>(QTest::qWaitFor([&] { return bool(condition); }, ms));                                       \
        ASSERT_TRUE(condition);                                                                                        \
    } while (0)

// Waits up to `ms` for `condition`, which must not come: EXPECT_FALSE once the time is up, or at once
// when it came.
#define LV_EXPECT_NEVER(condition, ms)                                                                                 \
    EXPECT_FALSE(QTest::qWaitFor([&] { return bool(condition); }, ms)) << #condition " came within " << (ms) << " ms"

// The datagrams `socket` received until there were `count` or `ms` passed, with the event loop running
// (which keeps a simulator's log pipe drained, so that its writes never hold it up).
inline QList<QByteArray> collectDatagrams(QUdpSocket& socket, int count, int ms)
{
    QList<QByteArray> got;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            while (socket.hasPendingDatagrams())
                got.append(socket.receiveDatagram().data());
            return got.size() >= count;
        },
        ms));
    return got;
}
