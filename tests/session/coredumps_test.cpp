// SPDX-License-Identifier: Apache-2.0
// The programs that read secrets keep them out of core dumps: a running GUI and CLI have no core size.

#include "programs.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct ProgramCase {
    const char* name;
    QString (*program)();
    QStringList args;
};

void PrintTo(const ProgramCase& c, std::ostream* os)
{
    *os << c.name;
}

class CoreDumps : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(CoreDumps, AreOffWhileTheProgramRuns)
{
#if !defined(__linux__)
    GTEST_SKIP() << "reads /proc";
#else
    const ProgramCase& c = GetParam();
    QProcess process;
    process.start(c.program(), c.args);
    ASSERT_TRUE(process.waitForStarted(5000));
    // The limits are set first thing in main(); until then the program has the test's own. Both the
    // soft and the hard limit must come down to 0 (the soft one alone could be raised again).
    QByteArray line;
    const bool off = QTest::qWaitFor(
        [&] {
            QFile limits(QStringLiteral("/proc/%1/limits").arg(process.processId()));
            if (limits.open(QIODevice::ReadOnly))
                for (const QByteArray& l : limits.readAll().split('\n'))
                    if (l.startsWith("Max core file size")) {
                        line = l.simplified();
                        const QList<QByteArray> words = line.split(' ');
                        return words.value(4) == "0" && words.value(5) == "0";
                    }
            return false;
        },
        3000);
    process.kill();
    process.waitForFinished(5000);
    EXPECT_TRUE(off) << c.name << " may still write a core dump: " << line.constData();
#endif
}

// Both stay up long enough to be looked at: the window until it is closed, the search for its wait.
INSTANTIATE_TEST_SUITE_P(
    Programs, CoreDumps,
    ::testing::Values(ProgramCase{"gui",
                                  testprograms::gui,
                                  {QStringLiteral("--broadcast"), QStringLiteral("127.255.255.255"),
                                   QStringLiteral("--port"), QStringLiteral("9")}},
                      ProgramCase{"cli",
                                  testprograms::cli,
                                  {QStringLiteral("--broadcast"), QStringLiteral("127.255.255.255"),
                                   QStringLiteral("--port"), QStringLiteral("9"), QStringLiteral("search"),
                                   QStringLiteral("--wait"), QStringLiteral("3000")}}),
    [](const ::testing::TestParamInfo<ProgramCase>& tp) { return std::string(tp.param.name); });

} // namespace
