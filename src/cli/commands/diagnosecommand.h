// SPDX-License-Identifier: Apache-2.0
#pragma once

// diagnose's plain words for one likely cause, naming the CLI's options that remedy it.

#include "diagnosis.h"

#include <QString>

namespace lv {

QString causeText(Cause cause, const Diagnosis& diagnosis);

} // namespace lv
