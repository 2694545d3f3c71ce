// SPDX-License-Identifier: Apache-2.0
// A file of secrets written into the folder its path named when it was taken, never through a link.

#include "privatefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <utility>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lv {

namespace {

// How many names a new file tries before it gives up: one taken by chance is tried again.
constexpr int kNewNameTries = 16;

// A name for the new file beside `name`, unlikely to be taken.
QString newFileName(const QString& name)
{
    return name + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate64(), 36);
}

#if defined(Q_OS_WIN)

QString systemError(DWORD error)
{
    return qt_error_string(static_cast<int>(error));
}

const wchar_t* wide(const QString& path)
{
    return reinterpret_cast<const wchar_t*>(path.utf16());
}

// The folder an open handle is for, as a plain path ("C:/x", "//server/share/x"): every link and junction
// on the way resolved, so that one changed later leads nowhere else; `given` when it cannot be told.
QString resolvedFolder(HANDLE folder, const QString& given)
{
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(folder, buffer.data(), static_cast<DWORD>(buffer.size()),
                                               FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(folder, buffer.data(), static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= buffer.size())
        return given;
    QString path = QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length));
    if (path.startsWith(QLatin1String("\\\\?\\UNC\\")))
        path = QLatin1String("\\\\") + path.mid(8);
    else if (path.startsWith(QLatin1String("\\\\?\\")))
        path = path.mid(4);
    return QDir::fromNativeSeparators(path);
}

#else

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The whole of `bytes` to `fd`, however the system splits it; errno when it could not.
bool writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (wrote < 0 && errno != EINTR)
            return false;
        if (wrote > 0)
            done += wrote;
    }
    return true;
}

#endif

} // namespace

PrivateFile::PrivateFile(const QString& path) : m_path(path)
{
    const QFileInfo info(path);
    m_name = info.fileName();
#if defined(Q_OS_WIN)
    // Held open without sharing deletion: while it is, the folder cannot be renamed, replaced or removed.
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    const HANDLE handle = ::CreateFileW(wide(folder), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_openError = systemError(::GetLastError());
        return;
    }
    m_folder = handle;
    m_folderPath = resolvedFolder(handle, info.absolutePath());
#else
    m_folder = ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder == kNoFolder)
        m_openError = systemError(errno);
#endif
}

PrivateFile::~PrivateFile()
{
    close();
}

PrivateFile::PrivateFile(PrivateFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_name(std::move(other.m_name)), m_openError(std::move(other.m_openError)),
#if defined(Q_OS_WIN)
      m_folderPath(std::move(other.m_folderPath)),
#endif
      m_folder(std::exchange(other.m_folder, kNoFolder))
{
}

PrivateFile& PrivateFile::operator=(PrivateFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_name = std::move(other.m_name);
        m_openError = std::move(other.m_openError);
#if defined(Q_OS_WIN)
        m_folderPath = std::move(other.m_folderPath);
#endif
        m_folder = std::exchange(other.m_folder, kNoFolder);
    }
    return *this;
}

void PrivateFile::close()
{
#if defined(Q_OS_WIN)
    if (m_folder != kNoFolder)
        ::CloseHandle(m_folder);
#else
    if (m_folder != kNoFolder)
        ::close(m_folder);
#endif
    m_folder = kNoFolder;
}

#if defined(Q_OS_WIN)

PrivateFile::Kind PrivateFile::kind() const
{
    if (m_folder == kNoFolder)
        return Kind::Absent;
    const QFileInfo info(m_folderPath + QLatin1Char('/') + m_name);
    if (info.isSymLink() || info.isJunction())
        return Kind::Link;
    if (!info.exists())
        return Kind::Absent;
    return info.isFile() ? Kind::Regular : Kind::Other;
}

std::optional<QString> PrivateFile::replace(const QByteArray& bytes) const
{
    if (m_folder == kNoFolder)
        return m_openError;
    const QString target = QDir::toNativeSeparators(m_folderPath + QLatin1Char('/') + m_name);
    // A new name only: CREATE_NEW neither opens nor follows what is there.
    QString temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < kNewNameTries; ++attempt) {
        temporary = newFileName(target);
        file = ::CreateFileW(wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return systemError(::GetLastError());
    }
    if (file == INVALID_HANDLE_VALUE)
        return systemError(ERROR_FILE_EXISTS);
    const auto failed = [&](DWORD error) {
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        ::DeleteFileW(wide(temporary));
        return systemError(error);
    };
    for (qsizetype done = 0; done < bytes.size();) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        if (!::WriteFile(file, bytes.constData() + done, chunk, &wrote, nullptr))
            return failed(::GetLastError());
        done += wrote;
    }
    if (!::FlushFileBuffers(file))
        return failed(::GetLastError());
    const HANDLE written = std::exchange(file, INVALID_HANDLE_VALUE);
    if (!::CloseHandle(written))
        return failed(::GetLastError());
    if (const Kind now = kind(); now != Kind::Absent && now != Kind::Regular) {
        ::DeleteFileW(wide(temporary));
        return QStringLiteral("it became a symbolic link or another kind of file while it was written");
    }
    // A rename replaces the name itself, a link there too, never what a link names.
    if (!::MoveFileExW(wide(temporary), wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failed(::GetLastError());
    return std::nullopt;
}

#else

PrivateFile::Kind PrivateFile::kind() const
{
    struct stat status {};
    const QByteArray name = m_name.isEmpty() ? QByteArray(".") : QFile::encodeName(m_name);
    if (m_folder == kNoFolder || ::fstatat(m_folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Absent;
    if (S_ISLNK(status.st_mode))
        return Kind::Link;
    return S_ISREG(status.st_mode) ? Kind::Regular : Kind::Other;
}

std::optional<QString> PrivateFile::replace(const QByteArray& bytes) const
{
    if (m_folder == kNoFolder)
        return m_openError;
    const QByteArray name = QFile::encodeName(m_name);
    // A new name only, made by this call: O_EXCL neither opens nor follows what is there. Created readable
    // by its owner alone, so that no other user can open it before it is whole.
    QByteArray temporary;
    int file = -1;
    for (int attempt = 0; file < 0 && attempt < kNewNameTries; ++attempt) {
        temporary = QFile::encodeName(newFileName(m_name));
        file = ::openat(m_folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file < 0 && errno != EEXIST)
            return systemError(errno);
    }
    if (file < 0)
        return systemError(EEXIST);
    const auto failed = [&](int error) {
        if (file >= 0)
            ::close(file);
        ::unlinkat(m_folder, temporary.constData(), 0);
        return systemError(error);
    };
    // Exactly 0600, whatever the umask took away. The bytes on disk before the name is replaced: whoever
    // relies on the file (the set command waits for the undo plan) can rely on it after a crash too.
    if (::fchmod(file, 0600) != 0 || !writeAll(file, bytes) || ::fsync(file) != 0)
        return failed(errno);
    if (::close(std::exchange(file, -1)) != 0)
        return failed(errno);
    if (const Kind now = kind(); now != Kind::Absent && now != Kind::Regular) {
        ::unlinkat(m_folder, temporary.constData(), 0);
        return QStringLiteral("it became a symbolic link or another kind of file while it was written");
    }
    // A rename replaces the name itself, a link put there since the look above too, never what a link
    // names; a directory put there makes it fail.
    if (::renameat(m_folder, temporary.constData(), m_folder, name.constData()) != 0)
        return failed(errno);
    // The folder's entry on disk too; a file system that cannot sync a folder (EINVAL) keeps it as it
    // keeps any rename.
    if (::fsync(m_folder) != 0 && errno != EINVAL)
        return systemError(errno);
    return std::nullopt;
}

#endif

} // namespace lv
