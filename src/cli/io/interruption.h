// SPDX-License-Identifier: Apache-2.0
#pragma once

// Ctrl-C (SIGINT) and SIGTERM while a command changes devices. Ended at once, the process would leave
// a device that got its set command without the "U " that makes it take effect, and would print
// nothing of what was done. While an Interruption lives, the first signal only asks the command to
// stop: no new device is started, and each exchange under way ends as it would (within its time-out).
// A second signal asks it to end those now too. Either way the command reports what became of every
// device and exits 128 + the signal's number.

namespace lv {

class Interruption {
public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // The first signal's number, 0 before any came.
    static int signal();
    // How many signals came (a second one: end the exchanges under way too).
    static int count();
    // 128 + the signal's number, as a shell reports a process the signal ended.
    static int exitCode();
};

} // namespace lv
