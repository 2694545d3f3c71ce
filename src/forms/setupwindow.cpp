// SPDX-License-Identifier: Apache-2.0
// The setup window base: controls, binding to the headless form, Update and Cancel.

#include "setupwindow.h"

#include "mnemonic.h"
#include "textlabel.h"

#include "commandchannel.h"
#include "dialogs.h"
#include "exchanges.h"
#include "latin1.h"
#include "latin1validator.h"
#include "outcometexts.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <limits>

namespace lv {

const QString& SetupWindow::noAnswerMessage()
{
    static const QString text = windowUpdateMessage(UpdateResult::Outcome::NoAnswer);
    return text;
}

const QString& SetupWindow::notSentMessage()
{
    static const QString text = windowUpdateMessage(UpdateResult::Outcome::NotSent);
    return text;
}

const QString& SetupWindow::noMacMessage()
{
    static const QString text = noMacText(Audience::Window);
    return text;
}

QString SetupWindow::fieldProblemMessage(const QString& tag)
{
    return windowFieldProblemMessage(tag);
}

SetupWindow::SetupWindow(const WindowDef& window, CommandChannel& channel, LoadedValues* loaded, QWidget* parent)
    : QDialog(parent), m_form(window, loaded), m_channel(channel)
{
    setObjectName(fromLatin1(window.name));
}

QLabel* SetupWindow::makeLabel(const QString& text, const QString& name)
{
    QLabel* label = textLabel(text, this);
    label->setObjectName(name);
    return label;
}

QWidget* SetupWindow::makeControl(const FieldDef& field)
{
    const QFontMetrics metrics(font());
    // Wide enough for a full dotted address with room to spare.
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("255.255.255.255")) + metrics.averageCharWidth() * 6;
    QWidget* widget = nullptr;
    switch (field.kind) {
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(this);
        // The text boxes have no length limit: a long loaded value is shown and sent back whole.
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setValidator(new Latin1Validator(edit));
        edit->setFixedWidth(textWidth);
        edit->setReadOnly(!field.enabled);
        widget = edit;
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(this);
        for (const std::string& entry : field.entries)
            combo->addItem(fromLatin1(entry));
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        combo->setCurrentIndex(-1);
        widget = combo;
        break;
    }
    case ControlKind::Display: {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setMinimumWidth(textWidth * 3 / 2);
        // As tall as a text box, so the shown values line up with the editable rows.
        label->setMinimumHeight(QLineEdit().sizeHint().height());
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        widget = label;
        break;
    }
    case ControlKind::Note: {
        auto* note = new QLineEdit(this);
        note->setReadOnly(true);
        note->setFocusPolicy(Qt::NoFocus);
        note->setText(field.entries.empty() ? QString() : fromLatin1(field.entries.front()));
        note->setMinimumWidth(metrics.horizontalAdvance(note->text()) + metrics.averageCharWidth() * 4);
        widget = note;
        break;
    }
    }
    widget->setObjectName(fromLatin1(field.control));
    widget->setEnabled(field.enabled);
    m_controls.emplace(field.control, widget);
    bind(field, widget);
    return widget;
}

void SetupWindow::bind(const FieldDef& field, QWidget* widget)
{
    // Every edit of the operator goes straight into the form; Update reads the form.
    const std::string name = field.control;
    if (field.kind == ControlKind::TextBox) {
        connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged, this, [this, name](const QString& text) {
            if (!m_showing) {
                m_form.setText(name, toLatin1(text));
                showChanges();
            }
        });
    } else if (field.kind == ControlKind::ComboBox) {
        connect(static_cast<QComboBox*>(widget), &QComboBox::currentIndexChanged, this, [this, name](int index) {
            if (!m_showing) {
                m_form.setIndex(name, index);
                showChanges();
            }
        });
    }
}

QLayout* SetupWindow::buttonRow()
{
    m_update = new QPushButton(QStringLiteral("Update"), this);
    m_update->setObjectName(QStringLiteral("cmdUpdate"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter in a text box must not send the configuration by accident.
    for (QPushButton* button : {m_update, m_cancel}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(button->sizeHint().width() + fontMetrics().averageCharWidth() * 4);
    }
    // Alt+U and Alt+C, underlined as the platform shows mnemonics.
    setMnemonic(m_update, QLatin1Char('U'));
    setMnemonic(m_cancel, QLatin1Char('C'));
    connect(m_update, &QPushButton::clicked, this, &SetupWindow::cmdUpdate_Click);
    connect(m_cancel, &QPushButton::clicked, this, &SetupWindow::cmdCancel_Click);

    // What the exchange of an Update is doing while it runs; empty otherwise.
    m_exchange = makeLabel({}, QStringLiteral("lblExchange"));
    m_exchange->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Waiting for the device…")));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_update);
    buttons->addSpacing(12);
    buttons->addWidget(m_cancel);
    buttons->addSpacing(12);
    buttons->addWidget(m_exchange);
    buttons->addStretch(1);
    return buttons;
}

namespace {

// "COM2_TCPMode" -> "TCP Mode", "cmbSioParity" -> "Sio Parity": what a control holds, from its name.
QString wordsOfControl(const std::string& control)
{
    QString name = fromLatin1(control);
    if (name.startsWith(QStringLiteral("COM")) && name.indexOf(QLatin1Char('_')) > 0)
        name = name.mid(name.indexOf(QLatin1Char('_')) + 1);
    for (const QString& prefix : {QStringLiteral("txt"), QStringLiteral("cmb"), QStringLiteral("lbl")})
        if (name.startsWith(prefix) && name.size() > prefix.size() && name.at(prefix.size()).isUpper())
            name = name.mid(prefix.size());
    QString words;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const bool upper = c.isUpper();
        const bool afterLower = i > 0 && name.at(i - 1).isLower();
        const bool endsCapitals = i > 0 && name.at(i - 1).isUpper() && i + 1 < name.size() && name.at(i + 1).isLower();
        if (upper && (afterLower || endsCapitals))
            words += QLatin1Char(' ');
        words += c == QLatin1Char('_') ? QLatin1Char(' ') : c;
    }
    return words.simplified();
}

bool hasCaption(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    if (!parent)
        return false;
    for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->buddy() == widget)
            return true;
    return false;
}

} // namespace

void SetupWindow::nameControls()
{
    QString rowLabel;
    int rowBlock = -1;
    for (const FieldDef& field : windowDef().fields) {
        QWidget* widget = control(field.control);
        if (!widget)
            continue;
        const QString port = field.block > 0 ? QStringLiteral("COM%1 ").arg(field.block) : QString();
        QString name;
        if (!field.label.empty()) {
            rowLabel = fromLatin1(field.label).simplified();
            rowBlock = field.block;
            name = rowLabel;
        } else if (field.kind == ControlKind::Note) {
            name = fromLatin1(field.entries.empty() ? std::string() : field.entries.front()).simplified();
        } else if (field.sameRow && rowBlock == field.block && !rowLabel.isEmpty()) {
            name = rowLabel + QStringLiteral(", ") + wordsOfControl(field.control);
        } else {
            name = wordsOfControl(field.control);
        }
        widget->setAccessibleName(port + name);
        if (!field.unit.empty())
            widget->setAccessibleDescription(fromLatin1(field.unit));
        if ((field.kind == ControlKind::TextBox || field.kind == ControlKind::ComboBox) && !hasCaption(widget)) {
            // The layout shows this caption elsewhere (a row label shared by the ports, or none beside
            // the control): a hidden one carries the relation.
            auto* caption = new QLabel(port + name, widget->parentWidget());
            caption->setObjectName(QStringLiteral("lbl%1Name").arg(fromLatin1(field.control)));
            caption->setBuddy(widget);
            caption->resize(caption->sizeHint());
            caption->hide();
        }
    }
}

QWidget* SetupWindow::control(std::string_view name) const
{
    const auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : it->second;
}

void SetupWindow::Form_Load(const QString& selMac, const QString& version)
{
    setWindowTitle(fromLatin1(lv::windowTitle(windowDef(), toLatin1(selMac), toLatin1(version))));
}

void SetupWindow::apply(const LoadResult& result, bool recordLoaded)
{
    m_form.apply(result, recordLoaded);
    showForm();
}

void SetupWindow::showForm()
{
    m_showing = true;
    for (const FieldDef& field : windowDef().fields) {
        const ControlValue& value = m_form.value(field.control);
        if (!value.set)
            continue;
        QWidget* widget = control(field.control);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // An index the list does not hold shows no entry rather than a wrong one.
            combo->setCurrentIndex(value.index >= 0 && value.index < combo->count() ? value.index : -1);
        } else if (field.kind == ControlKind::TextBox) {
            auto* edit = static_cast<QLineEdit*>(widget);
            edit->setText(fromLatin1(value.text));
            m_form.recordShownText(field.control, toLatin1(edit->text()));
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(fromLatin1(value.text));
        }
    }
    m_showing = false;
    showChanges();
}

void SetupWindow::showChanges()
{
    // Read from the form each time: what differs from the loaded value is derived, never kept here.
    QFont bold;
    bold.setBold(true);
    for (const FieldDef& field : windowDef().fields) {
        if (field.kind != ControlKind::TextBox && field.kind != ControlKind::ComboBox)
            continue;
        QWidget* widget = control(field.control);
        if (!widget)
            continue;
        const bool changed = m_form.changed(field);
        // Only the weight is set; everything else still comes from the window.
        widget->setFont(changed ? bold : QFont());
        widget->setProperty("changed", changed);
    }
    if (m_update) {
        const int items = m_form.plan().changedItems;
        m_update->setToolTip(items == 0   ? QStringLiteral("No setting changed (Alt+U)")
                             : items == 1 ? QStringLiteral("Update sends 1 changed setting (Alt+U)")
                                          : QStringLiteral("Update sends %1 changed settings (Alt+U)").arg(items));
    }
}

std::map<std::string, std::string, std::less<>> SetupWindow::currentValues() const
{
    std::map<std::string, std::string, std::less<>> values;
    for (const FieldDef& field : windowDef().fields)
        if (field.kind == ControlKind::TextBox || field.kind == ControlKind::ComboBox)
            values[field.control] = m_form.currentText(field);
    return values;
}

void SetupWindow::showExchange(const QString& text)
{
    if (!m_exchange)
        return;
    m_exchange->setText(text);
    // Painted now: the exchange runs inside this call, with only its own waits letting events through.
    m_exchange->repaint();
}

void SetupWindow::setButtonsEnabled(bool enabled)
{
    m_update->setEnabled(enabled);
    m_cancel->setEnabled(enabled);
}

void SetupWindow::cmdUpdate_Click()
{
    if (m_updating)
        return;
    // Nothing goes out that the device would misread, or that names no device.
    if (!m_form.hasDeviceMac()) {
        Dialogs::message(this, noMacMessage());
        return;
    }
    clearFieldProblem();
    if (const FieldDef* field = m_form.fieldCarryingItem()) {
        showFieldProblem(*field);
        return;
    }
    const DeviceLinePatch patch = m_form.linePatch();
    const UpdatePlan plan = m_form.plan();
    m_updating = true;
    setButtonsEnabled(false);
    QPointer<SetupWindow> self(this);
    const QMetaObject::Connection sending =
        connect(&m_channel, &CommandChannel::sending, this, [this] { showExchange(QStringLiteral("Sending…")); });
    const QMetaObject::Connection waiting = connect(&m_channel, &CommandChannel::waiting, this, [this] {
        showExchange(QStringLiteral("Waiting for the device…"));
    });
    UpdateExchange update(m_channel, m_device, plan);
    const UpdateResult result = runExchange(update);
    disconnect(sending);
    disconnect(waiting);
    if (!self)
        return;
    showExchange({});
    m_updating = false;
    setButtonsEnabled(true);
    m_outcome.updates.push_back(result);
    Q_EMIT updateEnded(result);
    // Unless the device confirmed, the window stays open with the operator's edits, so nothing typed
    // is lost.
    if (result.outcome == UpdateResult::Outcome::NotSent || result.outcome == UpdateResult::Outcome::TooLarge) {
        Dialogs::message(this, notSentMessage());
        return;
    }
    if (result.outcome == UpdateResult::Outcome::NoAnswer) {
        Dialogs::message(this, noAnswerMessage());
        return;
    }
    m_outcome.confirmed = plan;
    m_outcome.patch = patch;
    accept();
}

void SetupWindow::showFieldProblem(const FieldDef& field)
{
    QWidget* widget = control(field.control);
    const QString why = fieldProblemMessage(fromLatin1(field.tag));
    if (widget) {
        widget->setToolTip(why);
        widget->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #c0392b; }"));
        widget->setFocus();
        m_problemControl = field.control;
    }
    Dialogs::message(this, why);
}

void SetupWindow::clearFieldProblem()
{
    if (QWidget* widget = control(m_problemControl)) {
        widget->setToolTip({});
        widget->setStyleSheet({});
    }
    m_problemControl.clear();
}

void SetupWindow::cmdCancel_Click()
{
    reject();
}

void SetupWindow::reject()
{
    // Escape and the close box are Cancel: the window host sees the same signal whichever closed
    // the window, so a four-port window unloads its family either way. During an Update they would
    // leave it half done.
    if (m_updating)
        return;
    QDialog::reject();
    Q_EMIT cancelled();
}

} // namespace lv
