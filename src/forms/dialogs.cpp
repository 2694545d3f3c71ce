// SPDX-License-Identifier: Apache-2.0
// The message boxes and the input box, real or scripted for tests.

#include "dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

#include <deque>

namespace lv {

namespace {

struct Script {
    bool active = false;
    std::deque<std::optional<QString>> inputs;
    QList<Dialogs::Shown> messages;
    QStringList prompts;
};

Script& script()
{
    static Script s;
    return s;
}

} // namespace

void Dialogs::message(QWidget* parent, const QString& text, const QString& title)
{
    if (script().active) {
        script().messages.append({text, title});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> Dialogs::inputText(QWidget* parent, const QString& prompt, const QString& title,
                                          const QString& proposed)
{
    if (script().active) {
        script().prompts.append(prompt);
        if (script().inputs.empty())
            return std::nullopt;
        std::optional<QString> answer = std::move(script().inputs.front());
        script().inputs.pop_front();
        return answer;
    }
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, proposed, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

namespace {

// A file chosen in the platform's dialog to open or to save; scripted, the next queued answer.
std::optional<QString> chosenFile(QWidget* parent, const QString& title, const QString& filter, bool save)
{
    if (Dialogs::scripted())
        return Dialogs::inputText(parent, title, title, {});
    const QString path = save ? QFileDialog::getSaveFileName(parent, title, {}, filter)
                              : QFileDialog::getOpenFileName(parent, title, {}, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace

std::optional<QString> Dialogs::openFileName(QWidget* parent, const QString& title, const QString& filter)
{
    return chosenFile(parent, title, filter, false);
}

std::optional<QString> Dialogs::saveFileName(QWidget* parent, const QString& title, const QString& filter)
{
    return chosenFile(parent, title, filter, true);
}

void Dialogs::setScripted(bool scripted)
{
    script().active = scripted;
}

bool Dialogs::scripted()
{
    return script().active;
}

void Dialogs::queueInput(std::optional<QString> answer)
{
    script().inputs.push_back(std::move(answer));
}

const QList<Dialogs::Shown>& Dialogs::shownMessages()
{
    return script().messages;
}

const QStringList& Dialogs::shownPrompts()
{
    return script().prompts;
}

void Dialogs::reset()
{
    script() = Script{};
}

} // namespace lv
