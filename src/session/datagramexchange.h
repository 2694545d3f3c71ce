// SPDX-License-Identifier: Apache-2.0
#pragma once

// An action of one datagram and one answer (deviceactions.h), as an exchange: the action's command sent
// on the command port through the device's card, then a bounded wait for the first datagram the action
// reads as its answer. Answers are taken from the device's sender only (the channel's rule); one the
// action reads as another device's is set aside.

#include "commandchannel.h"
#include "deviceactions.h"
#include "deviceref.h"
#include "exchange.h"

#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <string>

namespace lv {

struct DatagramResult {
    Q_GADGET
public:
    enum class Outcome {
        NotSent,  // the command did not leave the socket
        NoAnswer, // no answer within the bound
        Answered, // the action read an answer: `verdict` is its outcome
        Aborted,  // ended by abort() after the command went out
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotSent;
    int verdict = 0;    // Answered: the action's outcome
    std::string answer; // Answered: the datagram, as it came
    std::string sent;   // the command, once it was handed to the socket
};

class DatagramExchange : public Exchange {
    Q_OBJECT
public:
    using Outcome = DatagramResult::Outcome;

    DatagramExchange(CommandChannel& channel, DeviceRef device, const DatagramAction& action, PlannedAction planned,
                     int timeoutMs, QObject* parent = nullptr);
    ~DatagramExchange() override;

    void start() override;
    void abort() override { finish(Outcome::Aborted); }
    int boundMs() const override { return m_timeoutMs; }
    // Answers set aside: from another host, or about another device.
    int setAside() const { return m_setAside + m_channel.strangers(); }
    const DatagramResult& result() const { return m_result; }
    const PlannedAction& planned() const { return m_planned; }

private:
    void onDatagram(const QByteArray& datagram);
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    DeviceRef m_device;
    const DatagramAction& m_action;
    PlannedAction m_planned;
    int m_timeoutMs;
    QTimer m_timer;
    QMetaObject::Connection m_taken;
    DatagramResult m_result;
    int m_setAside = 0;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::DatagramResult)
