// SPDX-License-Identifier: Apache-2.0
// One main for every test binary: a QApplication on the offscreen platform, so
// widget tests, socket tests and plain tests all run the same way in CI, and all
// the tests of a binary run in one process as a developer runs them.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

// A test that ends the program outside QCoreApplication::exec() (it closes the main window or
// chooses Exit) leaves the application quitting: every event loop after it, a modal window's or a
// bounded wait's, would return at once. One turn of exec() clears that before the next test.
class EndedProgramReset final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        QEventLoop probe;
        QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
        if (probe.exec() == 0)
            return;
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
};

// Ends the process when one case runs longer than its bound, naming the case: all cases share one
// process, so a hang would otherwise only show as the whole executable's time-out.
class CaseWatchdog final : public ::testing::EmptyTestEventListener {
public:
    explicit CaseWatchdog(std::chrono::seconds bound) : m_bound(bound), m_thread([this] { watch(); }) {}
    ~CaseWatchdog() override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        const std::lock_guard lock(m_mutex);
        m_case = std::string(info.test_suite_name()) + "." + info.name();
        m_deadline = std::chrono::steady_clock::now() + m_bound;
        m_running = true;
        m_changed.notify_all();
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const std::lock_guard lock(m_mutex);
        m_running = false;
        m_changed.notify_all();
    }

    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            if (!m_running) {
                m_changed.wait(lock);
                continue;
            }
            if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_running &&
                std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "[  TIMEOUT ] %s ran longer than %lld s\n", m_case.c_str(),
                             static_cast<long long>(m_bound.count()));
                std::fflush(stderr);
                std::_Exit(124);
            }
        }
    }

    const std::chrono::seconds m_bound;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_case;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_running = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    bool ok = false;
    const int bound = qEnvironmentVariableIntValue("LINKVANE_TEST_CASE_TIMEOUT", &ok);
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(new EndedProgramReset);
    listeners.Append(new CaseWatchdog(std::chrono::seconds(ok && bound > 0 ? bound : 120)));
    return RUN_ALL_TESTS();
}
