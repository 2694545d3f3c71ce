// SPDX-License-Identifier: Apache-2.0
// Keeping secrets out of crash dumps.

#include "coredumps.h"

#if defined(__linux__)
#include <sys/prctl.h>
#include <sys/resource.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace lv {

void disableCoreDumps()
{
#if defined(__linux__)
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#elif defined(_WIN32)
    // Windows writes no dump of a crashed process unless an administrator set up
    // Windows Error Reporting's local dumps; what the process can do is keep the
    // fault dialog away, which would otherwise offer to send its memory.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
#endif
}

} // namespace lv
