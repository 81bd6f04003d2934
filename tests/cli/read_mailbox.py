#!/usr/bin/env python3
"""Reads a mailbox the way other mail programs do, with Python's mailbox module, and writes what
it finds for a test to compare with the messages as stored.

  read_mailbox.py mbox FILE OUT      OUT/<n>: message n's bytes, mboxrd quoting undone;
                                     OUT/from-lines: each "From " line, one a line
  read_mailbox.py maildir DIR OUT    OUT/<n>.<flags>: each message of cur/ and new/ (any order);
                                     OUT/subdirs: the subfolder of each, one a line
"""
import mailbox
import os
import re
import sys


def main():
    kind, source, out = sys.argv[1:4]
    os.makedirs(out, exist_ok=True)
    if kind == "mbox":
        box = mailbox.mbox(source, create=False)
        # The standard library reads mbox without undoing mboxrd's quoting: take one ">" off each
        # line that is ">"s and "From ".
        unquote = re.compile(rb"^>(>*From )", re.M)
        froms = []
        for n, key in enumerate(box.iterkeys()):
            with open(os.path.join(out, str(n)), "wb") as f:
                f.write(unquote.sub(rb"\1", box.get_bytes(key)))
            froms.append(box.get_message(key).get_from())
        with open(os.path.join(out, "from-lines"), "w") as f:
            f.write("".join(line + "\n" for line in froms))
    elif kind == "maildir":
        box = mailbox.Maildir(source, factory=None, create=False)
        subdirs = []
        for n, key in enumerate(box.iterkeys()):
            message = box.get_message(key)
            with open(os.path.join(out, "%d.%s" % (n, message.get_flags())), "wb") as f:
                f.write(box.get_bytes(key))
            subdirs.append(message.get_subdir())
        with open(os.path.join(out, "subdirs"), "w") as f:
            f.write("".join(s + "\n" for s in subdirs))
    else:
        sys.exit("unknown kind " + kind)


if __name__ == "__main__":
    main()
