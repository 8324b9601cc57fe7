#include "cli/HelpText.h"

namespace fr::cli {

namespace {

const char* const kProgramHelp = R"(Usage: fragmentrove-cli COMMAND [OPTIONS] [ARGUMENTS]

Rescues files from damaged media without a window: the same rescue copy, journal, register
of damaged media, disk images, medium test and secure deletion as the Fragmentrove window,
on the same program folder, so a job stopped here can be finished in the window and the
other way round.

Commands:
  copy SRC DST          rescue copy of one file; unreadable places become fill blocks
  resume [N]            list the journal of stopped jobs, or finish entry N
  image DRIVE FILE      every sector of a medium into an image file
  restore FILE DRIVE    an image file back onto a medium
  test DRIVE            read test of a medium; lists its unreadable areas
  wipe FILE             overwrite a file three times and delete it
  register [add DRIVE [--note TEXT] | remove N]
                        the register of damaged media
  setup                 lay out the program folder, or bring it up to date with the
                        installed files (every command does so for a new folder)

Files may be named natively (/media/usb/photo.jpg, relative ones too) or in drive form
(E:\photo.jpg, quoted for the shell). A DRIVE is a letter of the program's drive map (E, E:)
or any block device or image file (/dev/sdb, /dev/sr0, disk.img): one a letter stands for is
that drive, any other is used as it is and journalled under its path.

Options of every command:
  --program-dir DIR     the program folder whose settings, journal (databaza.fgv) and
                        register (drives.fgv) are used; by default
                        ${XDG_DATA_HOME:-~/.local/share}/fragmentrove, the window's too; a
                        new or empty one is laid out first
  -y, --yes             answer every question yes (needed where nobody can be asked)
  -q, --quiet           no progress and no account of what the job does: only its result,
                        and every error on standard error
  --json                JSON Lines on standard output for a script: progress events, and a
                        summary (outcome, exit status, sizes, unreadable areas, map, journal
                        entry) as the last line however the program ends; the messages go to
                        standard error (see /usr/share/doc/fragmentrove/json-output.md)
  -h, --help            this help; "fragmentrove-cli COMMAND --help" for one command
  -V, --version         the program's version and those of the libraries it runs with
  --                    ends the options: what follows is a file, even if it begins with "-"

Ctrl-C (or SIGTERM) stops a job after the read under way and journals how far it got; a
second Ctrl-C quits at once.

Exit status:
  0    done
  1    done, but places could not be read in this run (or sectors not written)
  2    bad usage, or a check or a question refused the job: nothing was done
  3    the job could not go on (a file or medium could not be opened, read or written)
  128  stopped because the medium went away; the job is in the journal at the place reached
  130  stopped by Ctrl-C (143 by SIGTERM); the job is in the journal
)";

const char* const kCopyHelp = R"(Usage: fragmentrove-cli copy SRC DST [OPTIONS]

Copies SRC to DST byte by byte. Where a place of SRC cannot be read, a fill block goes into
DST and the copy goes on behind it, so DST always ends whole. The checks are the window's:
SRC and DST must be different files, SRC a file of any size, DST a file or a new name, both
paths short enough for the journal, and DST's drive must have room. An existing DST is
replaced only with --yes or a "y" on the terminal; a DST medium in the register of damaged
media is asked about the same way.

Options:
  --fill zero|random    the fill blocks' pattern (default: the program's settings)
  --block 512|1024|2048 the fill blocks' size in bytes (default: the program's settings)
  --low-priority        read and write at idle priority, leaving the machine to others
  --delete-source       delete SRC once every byte of it is read; a SRC that needed fill
                        blocks (or a resumed copy's) is kept, as it may hold the only copy
  --map FILE            keep the job's map (read, unreadable and untried areas) in FILE
                        while it runs, in the mapfile format of rescue tools; never over
                        SRC, DST, a device or the program's own files, and over a file
                        that is no map only when the question is answered yes. An existing
                        map of SRC (GNU ddrescue's too) is continued: DST is kept and only
                        its untried and unreadable areas are read; a map of another size
                        or a damaged one is refused
  --retries N           go over the places that could not be read N more times (0 to 1000)
  --reverse             the first sweep reads from the end backwards, the second forwards
  --no-skip             read step by step from the start instead of good data first
  -y, --yes             replace an existing DST and answer the other questions yes

Good data first: the copy reads the whole of SRC in large blocks, skipping ahead over places
that fail; then the stretches it skipped, from their far end; then the edges of each damaged
stretch; and last the rest unit by unit. The readable data are in hand long before the
damaged places are gone over, and the result is byte for byte the step-by-step copy's.

Ctrl-C stops the copy and journals it: "fragmentrove-cli resume" finishes it, as does the
window's journal page. A copy that is killed or cut off by a power failure is journalled at
the next start, where its data on disk ends. Exit status 0 when every byte was read, 1 with
fill blocks.
)";

const char* const kResumeHelp = R"(Usage: fragmentrove-cli resume [N] [OPTIONS]

Without N, lists the journal of stopped copies and image jobs: number, source, destination,
percent done, the day and time the job began, and for a copy whether its files have changed.
With N, finishes entry N from where it stopped, after the window's checks: an entry whose
source or destination is gone may be removed, a file that changed size is asked about. The
entry leaves the journal when the job is done; stopped again, it keeps its number with the
new position.

Options (for a copy): --fill, --block, --low-priority, --delete-source, --map FILE,
--retries N, --reverse, --no-skip as for copy; for an image job --map FILE, --retries N,
--reverse, --no-skip. -y, --yes answers the questions yes.
)";

const char* const kImageHelp = R"(Usage: fragmentrove-cli image DRIVE FILE [--map FILE]
       [--retries N] [--reverse] [--no-skip]

Copies every sector of the medium in DRIVE into the image FILE (.ima, .iso or any name),
good data first as a copy reads (--retries, --reverse and --no-skip as for copy); a sector
that cannot be read is written as zeros and the job goes on. FILE may not
lie on the medium itself and its drive needs room for the whole medium. An existing FILE is
replaced only with --yes or a "y" on the terminal. Ctrl-C journals the job. --map FILE keeps
the job's map in FILE while it runs; an existing map of this medium is continued into the
kept FILE, reading only its untried and unreadable areas.
)";

const char* const kRestoreHelp = R"(Usage: fragmentrove-cli restore FILE DRIVE [--map FILE]
       [--retries N] [--reverse] [--no-skip]

Writes the image FILE onto the medium in DRIVE, sector by sector from the start; every
sector it covers is replaced, so it asks first (--yes answers for a script). A mounted
medium is unmounted first, or the job is refused; the medium holding the root file system is
never written. Sectors that cannot be written are counted and reported (exit status 1).
)";

const char* const kTestHelp = R"(Usage: fragmentrove-cli test DRIVE [--map FILE]

Reads every group of sectors of the medium in DRIVE (the file system's cluster, or the sector
of a bare medium), from the first to the last, and lists the areas that cannot be read, in
bytes from the medium's start. Exit status 1 when there are any. Nothing is written.
)";

const char* const kWipeHelp = R"(Usage: fragmentrove-cli wipe FILE [--yes]

Overwrites FILE three times with random bytes, each pass flushed to the medium, then deletes
it. Asks first, unless --yes is given.
)";

const char* const kRegisterHelp = R"(Usage: fragmentrove-cli register
       fragmentrove-cli register add DRIVE [--note TEXT]
       fragmentrove-cli register remove N

The register of damaged media: media on which reading failed, known by their volume serial
number, so that copying to them and testing or writing them warns first (the media manager
warns when one is attached). Without arguments it lists the entries, numbered from 1.
)";

const char* const kSetupHelp = R"(Usage: fragmentrove-cli setup [--program-dir DIR]

Lays out the program folder from the files installed with the program: settings, an empty
journal and register, languages, skins, help and the media manager. A folder laid out before
takes the new and newer installed files; its settings, journal and register are never
replaced. Every command lays out a new or empty folder this way before it starts; a folder
that holds other files is refused, so that a mistyped name does not fill it.
)";

} // namespace

QString helpText(const QString& command) {
    const char* text = command == QLatin1String("copy")       ? kCopyHelp
                       : command == QLatin1String("resume")   ? kResumeHelp
                       : command == QLatin1String("image")    ? kImageHelp
                       : command == QLatin1String("restore")  ? kRestoreHelp
                       : command == QLatin1String("test")     ? kTestHelp
                       : command == QLatin1String("wipe")     ? kWipeHelp
                       : command == QLatin1String("register") ? kRegisterHelp
                       : command == QLatin1String("setup")    ? kSetupHelp
                                                              : kProgramHelp;
    return QString::fromUtf8(text);
}

} // namespace fr::cli
