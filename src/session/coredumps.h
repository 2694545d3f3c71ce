// SPDX-License-Identifier: Apache-2.0
#pragma once

// Keeping secrets out of crash dumps, for every program that holds a password or an access code.

namespace lv {

// Keeps the process from writing a core dump (a dump would hold every secret it read) and from being
// attached to by other processes of the same user (Linux); on Windows keeps the fault dialog away,
// which would offer to send the process's memory.
void disableCoreDumps();

} // namespace lv
