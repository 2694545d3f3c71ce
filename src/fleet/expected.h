// SPDX-License-Identifier: Apache-2.0
#pragma once

// A value a step produced, or the failure that stopped it: the exit code a command ends with and the
// line it writes for it. The fleet's steps return these to whichever front end drives them.

#include "outcomes.h"

#include <QString>

#include <utility>
#include <variant>

namespace lv {

// Why a command could not do what it was asked: its exit code and the line it writes on standard error
// (none when what it wrote already says so).
struct Failure {
    ExitCode code = kExitUsage;
    QString message;
};

// A value a step of a command produced, or the failure that stopped it.
template <typename T> class Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Failure failure) : m_value(std::move(failure)) {}

    explicit operator bool() const { return m_value.index() == 0; }
    T& operator*() { return std::get<0>(m_value); }
    const T& operator*() const { return std::get<0>(m_value); }
    T* operator->() { return &std::get<0>(m_value); }
    const T* operator->() const { return &std::get<0>(m_value); }
    const Failure& failure() const { return std::get<1>(m_value); }

private:
    std::variant<T, Failure> m_value;
};

} // namespace lv
