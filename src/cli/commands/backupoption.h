// SPDX-License-Identifier: Apache-2.0
#pragma once

// The --backup option of set and apply, read from the command line.

#include "expected.h"
#include "privatefile.h"

#include <QCommandLineParser>

#include <optional>

namespace lv {

// The --backup option of set and apply: the file, its folder opened as the option is read, so that the
// backup goes to the folder the path named then, when it is given and can take the backup; nothing when it
// is not given; the refusal (exit 1, nothing sent) when it cannot: standard output ("-") carries the
// command's report; a symbolic link would have its target replaced; a directory, device node or FIFO is no
// file to replace. The file looks at its name again just before it replaces it.
Expected<std::optional<PrivateFile>> backupOption(const QCommandLineParser& parser);

} // namespace lv
