#include "cli/help_text.h"

#include <array>
#include <string>

namespace vireo::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: vireo-cli info BASE\n"
    "       vireo-cli list [--recover] [--copy] [--json | --csv] BASE\n"
    "       vireo-cli export [--recover] [--copy] BASE DIR\n"
    "       vireo-cli export [--recover] [--copy] --mbox FILE BASE\n"
    "       vireo-cli export [--recover] [--copy] --mbox-folder DIR BASE...\n"
    "       vireo-cli export [--recover] [--copy] [--deleted] --maildir DIR BASE\n"
    "       vireo-cli copy BASE DIR\n"
    "       vireo-cli carve [--json] IMAGE\n"
    "       vireo-cli carve IMAGE DIR\n"
    "       vireo-cli stores\n"
    "       vireo-cli search [FOLDER...]\n"
    "       vireo-cli [COMMAND] --help\n";

constexpr std::string_view kExitStatus =
    "\n"
    "Exit status: 0 success; 1 the operation failed (a base that cannot be read, a message or\n"
    "file that could not be written); 2 bad usage; 130 stopped by Ctrl-C or SIGTERM.\n";

constexpr std::string_view kGeneral =
    "vireo-cli reads Outlook Express message bases (.dbx) without ever writing to them.\n"
    "\n"
    "Commands:\n"
    "  info     the kind, message count and size a base's header states\n"
    "  list     one line (or JSON object, or CSV row) per message of a base\n"
    "  export   writes a base's messages as .eml files, an mbox, mboxes or a Maildir\n"
    "  copy     copies a base file into a folder\n"
    "  carve    finds bases in a disk image, whole or in pieces, and recovers their messages\n"
    "  stores   the Outlook Express store folders found in Wine prefixes and Windows disks,\n"
    "           and their bases\n"
    "  search   the bases in the given folders (default: the drives)\n"
    "\n"
    "Options common to list and export:\n"
    "  --recover   scan the whole file for messages (damaged bases, deleted messages)\n"
    "              instead of following the base's index\n"
    "  --copy      read a copy of the base made in a private working folder\n"
    "\n"
    "Run 'vireo-cli COMMAND --help' for the options of one command.\n";

struct VerbHelp {
  std::string_view verb;
  std::string_view text;
};

constexpr std::array kVerbs{
    VerbHelp{"info",
             "usage: vireo-cli info BASE\n"
             "\n"
             "Prints the base's kind, the message count its header states and the file size.\n"},
    VerbHelp{"list",
             "usage: vireo-cli list [--recover] [--copy] [--json | --csv] BASE\n"
             "\n"
             "Lists the messages of BASE, one a line: number, D (deleted) or -, A (attachment) or -,\n"
             "size, date, from, to, subject, separated by tabs.\n"
             "\n"
             "  --recover   find the messages by scanning the file (damaged bases)\n"
             "  --copy      read a working copy of the base\n"
             "  --json      a JSON array of objects: index, number, deleted, attachment, size,\n"
             "              codePage, time, fragment (only part of a message was found),\n"
             "              unindexed (recovered, but the base's index does not list it), date\n"
             "              (as the list shows it), dateIso (RFC 3339, UTC; null without a\n"
             "              date), from, to, subject\n"
             "  --csv       RFC 4180 CSV with a header row: number, deleted, attachment, size,\n"
             "              date, dateIso, from, to, subject; fields holding commas, quotes or\n"
             "              line breaks are quoted, rows end in CR LF\n"},
    VerbHelp{"export",
             "usage: vireo-cli export [--recover] [--copy] BASE DIR\n"
             "       vireo-cli export [--recover] [--copy] --mbox FILE BASE\n"
             "       vireo-cli export [--recover] [--copy] --mbox-folder DIR BASE...\n"
             "       vireo-cli export [--recover] [--copy] [--deleted] --maildir DIR BASE\n"
             "\n"
             "Writes the messages of BASE exactly as the base stores them. Files already there\n"
             "are never replaced: a different file of the same name is kept and the new one\n"
             "written beside it (\"3 (2).eml\", \"Inbox (2)\"). Saved files are dated by the\n"
             "message's Date header.\n"
             "\n"
             "  BASE DIR           one <number>.eml per message in DIR (made when missing)\n"
             "  --mbox FILE        one mbox file (mboxrd) holding every message\n"
             "  --mbox-folder DIR  one mbox per BASE in DIR, named after the base without .dbx\n"
             "                     (Inbox.dbx becomes DIR/Inbox), as a Thunderbird \"Local\n"
             "                     Folders\" directory holds them\n"
             "  --maildir DIR      a Maildir: DIR/cur, DIR/new, DIR/tmp, one file per message in cur\n"
             "  --deleted          with --maildir: include the messages the base takes for deleted\n"
             "                     (flagged T); they are left out otherwise\n"
             "  --recover          find the messages by scanning the file (damaged bases)\n"
             "  --copy             read a working copy of the base\n"
             "\n"
             "An mbox appears under its name only when whole: a stopped or failed export leaves\n"
             "no file. Each message that cannot be written is named on stderr with the reason.\n"},
    VerbHelp{"copy",
             "usage: vireo-cli copy BASE DIR\n"
             "\n"
             "Copies the base file into DIR (made when missing); a file of the same name there is\n"
             "kept and the copy written beside it.\n"},
    VerbHelp{"carve",
             "usage: vireo-cli carve [--json] IMAGE\n"
             "       vireo-cli carve IMAGE DIR\n"
             "\n"
             "Finds the message bases held in IMAGE, a disk image or a block device that is only\n"
             "ever read: whole bases, and bases in pieces (a deleted, cut or fragmented file).\n"
             "Prints one line per base found: the image offset where its offset 0 lies, the pieces\n"
             "it was found in and the range each covers, whether its header survived, and the\n"
             "number of messages recovered.\n"
             "\n"
             "  --json      the same as a JSON array, one object per base\n"
             "  DIR         write each base's messages as DIR/base-<k>/<number>.eml; a message\n"
             "              of which only a part was found as fragment-<number>.eml\n"},
    VerbHelp{"stores",
             "usage: vireo-cli stores\n"
             "\n"
             "Prints each Outlook Express store folder found in the Wine prefix ($WINEPREFIX, else\n"
             "~/.wine) and the Windows profiles of the mounted disks, then the bases in them.\n"},
    VerbHelp{"search",
             "usage: vireo-cli search [FOLDER...]\n"
             "\n"
             "Prints the kind and the path of every .dbx base, separated by a tab, found under the\n"
             "folders given, or under the local disks' mount points when none is given.\n"},
};

}  // namespace

std::string_view usageText() { return kUsage; }

std::string_view generalHelp() {
  static const std::string text = std::string(kUsage) + "\n" + std::string(kGeneral) + std::string(kExitStatus);
  return text;
}

std::string_view commandHelp(std::string_view verb) {
  static const auto texts = [] {
    std::array<std::string, kVerbs.size()> all;
    for (size_t i = 0; i < kVerbs.size(); ++i) all[i] = std::string(kVerbs[i].text) + std::string(kExitStatus);
    return all;
  }();
  for (size_t i = 0; i < kVerbs.size(); ++i)
    if (kVerbs[i].verb == verb) return texts[i];
  return {};
}

bool asksForHelp(std::string_view word) { return word == "--help" || word == "-h"; }

}  // namespace vireo::cli
