// SPDX-License-Identifier: Apache-2.0
#pragma once

// Every message box and the text input box of the program go through here, so
// that a test can answer the input box and read the messages instead of facing
// a modal box it cannot close.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace lv {

class Dialogs final {
public:
    struct Shown {
        QString text;
        QString title;
    };

    // A message box with an OK button only.
    static void message(QWidget* parent, const QString& text, const QString& title = QStringLiteral("MsgBox"));

    // The text input box; nullopt when the operator cancels.
    static std::optional<QString> inputText(QWidget* parent, const QString& prompt, const QString& title,
                                            const QString& proposed);

    // A file to open, chosen in the platform's dialog; nullopt when the operator cancels. Scripted, it
    // takes the next queued answer as the input box does.
    static std::optional<QString> openFileName(QWidget* parent, const QString& title, const QString& filter);

    // A file to write, chosen in the platform's dialog; nullopt when the operator cancels. Scripted as
    // openFileName().
    static std::optional<QString> saveFileName(QWidget* parent, const QString& title, const QString& filter);

    // Scripted mode: messages are recorded instead of shown, and the input box
    // takes the queued answers in order (an empty queue answers Cancel).
    static void setScripted(bool scripted);
    static bool scripted();
    static void queueInput(std::optional<QString> answer);
    static const QList<Shown>& shownMessages();
    static const QStringList& shownPrompts();
    // Back to showing real boxes, with nothing queued or recorded.
    static void reset();

private:
    Dialogs() = delete;
};

} // namespace lv
