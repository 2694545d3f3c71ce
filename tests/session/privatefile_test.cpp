// SPDX-License-Identifier: Apache-2.0
// A private file is never written through a symbolic link, however fast one is swapped with its name.

#include "privatefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#if defined(Q_OS_LINUX)
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// `bytes` as the whole of the regular file `name` in `folder`, made anew.
void putFile(int folder, const char* name, const QByteArray& bytes)
{
    ::unlinkat(folder, name, 0);
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << name;
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
}

// The bytes of the regular file `name` in `folder`, when it is one and, with `mode`, has that mode.
std::optional<QByteArray> fileBytes(int folder, const char* name, mode_t mode = 0)
{
    struct stat status {};
    if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
        (mode != 0 && (status.st_mode & 0777) != mode))
        return std::nullopt;
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW);
    QByteArray bytes(64, '\0');
    const ssize_t got = ::read(fd, bytes.data(), static_cast<size_t>(bytes.size()));
    ::close(fd);
    bytes.resize(got < 0 ? 0 : got);
    return bytes;
}

// The name and a link to another file swapped at full speed by another thread, 200 times over, while the
// file is taken, looked at and replaced as the backup is: the link's target is never written, and every
// replace that succeeded left the new bytes as a regular file of mode 0600 under one of the two names.
TEST(PrivateFile, ALinkSwappedWithItsNameNeverHasItsTargetWritten)
{
    QTemporaryDir dir;
    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const auto swap = [folder] { return ::renameat2(folder, "backup.json", folder, "link", RENAME_EXCHANGE) == 0; };
    int replaced = 0;
    int refused = 0;
    for (int attempt = 0; attempt < 200; ++attempt) {
        putFile(folder, "target", "target");
        putFile(folder, "backup.json", "old");
        ::unlinkat(folder, "link", 0);
        ASSERT_EQ(::symlinkat("target", folder, "link"), 0);
        if (attempt == 0 && !swap())
            GTEST_SKIP() << "this file system cannot exchange two names";
        std::atomic<bool> stop = false;
        std::atomic<bool> running = false;
        std::thread racer([&] {
            while (!stop)
                running = swap() || running;
        });
        while (!running)
            std::this_thread::yield();
        const lv::PrivateFile file(dir.filePath(QStringLiteral("backup.json")));
        const lv::PrivateFile::Kind kind = file.kind();
        const bool taken = kind == lv::PrivateFile::Kind::Regular || kind == lv::PrivateFile::Kind::Absent;
        const bool written = taken && !file.replace("new");
        stop = true;
        racer.join();
        ASSERT_EQ(fileBytes(folder, "target"), "target") << "try " << attempt;
        if (written) {
            EXPECT_TRUE(fileBytes(folder, "backup.json", 0600) == "new" || fileBytes(folder, "link", 0600) == "new")
                << "try " << attempt;
        }
        ++(written ? replaced : refused);
    }
    ::close(folder);
    // Both sides of the race were met.
    EXPECT_GT(replaced, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
#endif
