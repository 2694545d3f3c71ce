// SPDX-License-Identifier: Apache-2.0
#pragma once

// A file of secrets, such as the undo plan of a change, written where its name pointed when the program
// took it and nowhere else. The folder it names is opened once, as the object is made; every later step
// works in that folder, whatever its path names by then, and never follows a link at the file's own name:
// a symbolic link put at the name, or in place of the folder, while devices are searched and asked, cannot
// send the bytes to another file. What is written is readable by its owner alone.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace lv {

class PrivateFile final {
public:
    // What the file's name is in the folder, a link at it not followed.
    enum class Kind { Absent, Regular, Link, Other };

    // Opens the folder of `path` now; a link on the way to it is followed this once. A folder that cannot
    // be opened (missing, not searchable) is the reason replace() gives.
    explicit PrivateFile(const QString& path);
    ~PrivateFile();
    PrivateFile(PrivateFile&& other) noexcept;
    PrivateFile& operator=(PrivateFile&& other) noexcept;
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    // The path as it was given, for messages.
    const QString& path() const { return m_path; }

    // What the name is now: a directory, device node or FIFO is Other. Absent too when the folder could
    // not be opened.
    Kind kind() const;

    // Puts `bytes` in place of the file, whole: a new file in the folder (mode 0600), synced, renamed over
    // the name and the folder synced; until then what was there stays, and a failure removes the new file.
    // The name is looked at again just before the rename: when it is no longer absent or a regular file,
    // nothing is renamed. The system's reason when it could not.
    std::optional<QString> replace(const QByteArray& bytes) const;

private:
    void close();

    QString m_path;
    QString m_name;      // in the folder; empty when the path ends in a separator
    QString m_openError; // why the folder could not be opened; empty when it was
#if defined(Q_OS_WIN)
    static constexpr void* kNoFolder = nullptr;
    QString m_folderPath;       // the folder as the system resolved it when it was opened
    void* m_folder = kNoFolder; // a handle that keeps it from being renamed or removed meanwhile
#else
    static constexpr int kNoFolder = -1;
    int m_folder = kNoFolder;
#endif
};

} // namespace lv
