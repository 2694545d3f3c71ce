#include "singleportwindow.h"

#include "commandchannel.h"
#include "dialogs.h"
#include "exchanges.h"
#include "latin1validator.h"
#include "setcommand.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace lv {

namespace {

QString latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string latin1(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

const QString& SinglePortWindow::noAnswerMessage()
{
    static const QString text = QStringLiteral("The device did not answer. Your changes were not confirmed; "
                                               "press Update to send them again or Cancel to close.");
    return text;
}

SinglePortWindow::SinglePortWindow(const WindowDef& window, CommandChannel& channel, QWidget* parent)
    : QDialog(parent), m_window(window), m_channel(channel)
{
    setObjectName(latin1(window.name));
    buildForm();
}

QLabel* SinglePortWindow::makeLabel(const QString& text, const QString& name)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

QWidget* SinglePortWindow::makeControl(const FieldDef& field)
{
    const QFontMetrics metrics(font());
    // Wide enough for a full dotted address with room to spare.
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("255.255.255.255")) + metrics.averageCharWidth() * 6;
    QWidget* widget = nullptr;
    switch (field.kind) {
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(this);
        edit->setValidator(new Latin1Validator(edit));
        edit->setFixedWidth(textWidth);
        edit->setReadOnly(!field.enabled);
        widget = edit;
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(this);
        for (const std::string& entry : field.entries)
            combo->addItem(latin1(entry));
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
        note->setText(field.entries.empty() ? QString() : latin1(field.entries.front()));
        note->setMinimumWidth(metrics.horizontalAdvance(note->text()) + metrics.averageCharWidth() * 4);
        widget = note;
        break;
    }
    }
    widget->setObjectName(latin1(field.control));
    widget->setEnabled(field.enabled);
    m_controls.emplace(field.control, widget);
    return widget;
}

void SinglePortWindow::buildForm()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    std::vector<QHBoxLayout*> rows;
    for (const FieldDef& field : m_window.fields) {
        QWidget* widget = makeControl(field);
        const QString labelName = QStringLiteral("lbl") + latin1(field.control);
        if (!field.sameRow || rows.empty()) {
            const int row = static_cast<int>(rows.size());
            rows.push_back(new QHBoxLayout);
            rows.back()->setSpacing(6);
            if (field.kind == ControlKind::Note) {
                grid->addLayout(rows.back(), row, 0, 1, 2);
            } else {
                QLabel* caption = makeLabel(latin1(field.label), labelName);
                caption->setBuddy(widget);
                caption->setEnabled(field.enabled);
                grid->addWidget(caption, row, 0);
                grid->addLayout(rows.back(), row, 1);
            }
        } else if (!field.label.empty()) {
            QLabel* caption = makeLabel(latin1(field.label), labelName);
            caption->setEnabled(field.enabled);
            rows.back()->addWidget(caption);
        }
        rows.back()->addWidget(widget);
        if (!field.unit.empty()) {
            QLabel* unit = makeLabel(latin1(field.unit), labelName + QStringLiteral("Unit"));
            unit->setEnabled(field.enabled);
            rows.back()->addWidget(unit);
        }
    }
    for (QHBoxLayout* row : rows)
        row->addStretch(1);

    m_update = new QPushButton(QStringLiteral("Update"), this);
    m_update->setObjectName(QStringLiteral("cmdUpdate"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter in a text box must not send the configuration by accident.
    for (QPushButton* button : {m_update, m_cancel}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(button->sizeHint().width() + fontMetrics().averageCharWidth() * 4);
    }
    connect(m_update, &QPushButton::clicked, this, &SinglePortWindow::cmdUpdate_Click);
    connect(m_cancel, &QPushButton::clicked, this, &SinglePortWindow::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_update);
    buttons->addSpacing(12);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* SinglePortWindow::control(std::string_view name) const
{
    const auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : it->second;
}

void SinglePortWindow::Form_Load(const QString& selMac, const QString& version)
{
    setWindowTitle(latin1(lv::windowTitle(m_window, latin1(selMac), latin1(version))));
}

void SinglePortWindow::apply(const LoadResult& result)
{
    m_loaded = result.loaded;
    for (const auto& [name, value] : result.controls) {
        if (!value.set)
            continue;
        QWidget* widget = control(name);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setText(latin1(value.text));
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // An index the list does not hold shows no entry rather than a wrong one.
            combo->setCurrentIndex(value.index >= 0 && value.index < combo->count() ? value.index : -1);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(latin1(value.text));
        }
    }
}

std::map<std::string, std::string, std::less<>> SinglePortWindow::currentValues() const
{
    std::map<std::string, std::string, std::less<>> values;
    for (const FieldDef& field : m_window.fields) {
        if (field.kind != ControlKind::TextBox && field.kind != ControlKind::ComboBox)
            continue;
        QWidget* widget = control(field.control);
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            values[field.control] = latin1(edit->text());
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            values[field.control] = std::to_string(combo->currentIndex());
    }
    return values;
}

std::string SinglePortWindow::loadedText(const std::string& tag) const
{
    const auto it = m_loaded.find(tag);
    return it == m_loaded.end() ? std::string() : it->second;
}

void SinglePortWindow::setButtonsEnabled(bool enabled)
{
    m_update->setEnabled(enabled);
    m_cancel->setEnabled(enabled);
}

void SinglePortWindow::cmdUpdate_Click()
{
    if (m_updating)
        return;
    const auto current = currentValues();
    const auto working = [&](const std::string& tag) {
        const FieldDef* field = m_window.fieldByTag(tag);
        const auto it = field ? current.find(field->control) : current.end();
        return it == current.end() ? loadedText(tag) : it->second;
    };
    DeviceLinePatch patch;
    patch.loadedIp = loadedText("IPAddress");
    patch.newIp = working("IPAddress");
    patch.ipChanged = patch.newIp != patch.loadedIp;
    patch.loadedDeviceId = loadedText("DeviceID");
    patch.newDeviceId = working("DeviceID");
    patch.deviceIdChanged = patch.newDeviceId != patch.loadedDeviceId;

    const UpdatePlan plan = planUpdate(m_window, m_loaded, current);
    m_updating = true;
    setButtonsEnabled(false);
    QPointer<SinglePortWindow> self(this);
    const bool answered = runUpdate(m_channel, plan);
    if (!self)
        return;
    m_updating = false;
    setButtonsEnabled(true);
    if (!answered) {
        // The window stays open with the operator's edits, so nothing typed is lost.
        Dialogs::message(this, noAnswerMessage());
        return;
    }
    Q_EMIT updateConfirmed(patch);
    accept();
}

void SinglePortWindow::cmdCancel_Click()
{
    reject();
}

void SinglePortWindow::reject()
{
    // Escape or the close box during an Update would leave it half done.
    if (m_updating)
        return;
    QDialog::reject();
}

} // namespace lv
