// The Linux program's exit codes, the same for every command. Those above 2
// follow sysexits(3), so a shell script or systemd's
// RestartPreventExitStatus= can tell a fault a restart cures from one that
// needs a person.
#pragma once

#include "archive/archive_refusal.h"

constexpr int EXIT_DONE = 0;
// The command could not do what was asked: no console, no history, a file
// not written, an archive that cannot be read.
constexpr int EXIT_REFUSED = 1;
// The command line is wrong: an unknown option, a day the calendar lacks.
constexpr int EXIT_USAGE = 2;
// The archive was written by a newer aerovane (EX_DATAERR): no restart
// helps, only a newer program or another file.
constexpr int EXIT_ARCHIVE_NEWER = 65;
// Another aerovane run writes the archive (EX_TEMPFAIL): the same command
// works once that one has ended.
constexpr int EXIT_ARCHIVE_IN_USE = 75;
// The configuration file is malformed or cannot be read (EX_CONFIG).
constexpr int EXIT_CONFIG = 78;
// Ctrl-C or SIGTERM in the middle, as a shell reports SIGINT.
constexpr int EXIT_STOPPED = 130;

constexpr int exitCodeFor(ArchiveRefusal refusal)
{
    return refusal == ArchiveRefusal::newer  ? EXIT_ARCHIVE_NEWER
         : refusal == ArchiveRefusal::inUse ? EXIT_ARCHIVE_IN_USE
                                             : EXIT_REFUSED;
}
