#!/usr/bin/env python3
"""The catalogues' template and its translations.

  catalogues.py update SOURCE_DIR   writes quarzello.pot from the sources and
                                     merges it into every LANG.po
  catalogues.py template SOURCE_DIR fails when quarzello.pot is not what the
                                     sources give
  catalogues.py check SOURCE_DIR    compiles every LANG.po with msgfmt --check:
                                     no errors, and every language but English
                                     (which is kept by the game's developers)
                                     complete, or the missing texts named
"""
import os
import re
import subprocess
import sys
import tempfile

# The files whose texts the player or a browser sees. The C++ files mark
# their texts with N_("...") or NC_("context", "...").
SOURCES = [
    "gameplay/texts.cpp",
    "server/texts.cpp",
    "dist/io.github.quarzello.Quarzello.desktop.in",
    "dist/io.github.quarzello.Quarzello.metainfo.xml.in",
]
ITS_RULES = "/usr/share/gettext/its/metainfo.its"


def xgettext(root, output):
    cpp = [s for s in SOURCES if s.endswith(".cpp") and os.path.exists(os.path.join(root, s))]
    desktop = [s for s in SOURCES if ".desktop" in s]
    metainfo = [s for s in SOURCES if ".metainfo" in s]
    common = ["xgettext", "--from-code=UTF-8", "--copyright-holder=The Quarzello developers", "--add-location=file",
              "--sort-by-file", "--package-name=Quarzello", "--msgid-bugs-address=https://quarzello.invalid",
              "-o", output]
    subprocess.run(common + ["--language=C++", "--keyword=N_", "--keyword=NC_:1c,2", "--add-comments=Translators:"]
                   + cpp, cwd=root, check=True)
    subprocess.run(common + ["--join-existing", "--language=Desktop"] + desktop, cwd=root, check=True)
    subprocess.run(common + ["--join-existing", "--its=" + ITS_RULES] + metainfo, cwd=root, check=True)


def without_date(text):
    return re.sub(r'^"POT-Creation-Date: .*\\n"\n', "", text, flags=re.M)


def languages(po_dir):
    with open(os.path.join(po_dir, "LINGUAS"), encoding="utf-8") as f:
        return [w for line in f if not line.startswith("#") for w in line.split()]


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("update", "template", "check"):
        sys.exit(__doc__)
    command, root = sys.argv[1], os.path.abspath(sys.argv[2])
    po_dir = os.path.join(root, "po")
    pot = os.path.join(po_dir, "quarzello.pot")
    if command == "update":
        xgettext(root, pot)
        for lang in languages(po_dir):
            subprocess.run(["msgmerge", "--quiet", "--update", "--backup=none", "--add-location=file",
                            os.path.join(po_dir, lang + ".po"), pot], check=True)
        return
    if command == "template":
        with tempfile.TemporaryDirectory() as scratch:
            fresh = os.path.join(scratch, "quarzello.pot")
            xgettext(root, fresh)
            with open(fresh, encoding="utf-8") as f:
                made = without_date(f.read())
        with open(pot, encoding="utf-8") as f:
            committed = without_date(f.read())
        if made != committed:
            sys.exit("po/quarzello.pot is not what the sources give: run `python3 po/catalogues.py update .`")
        print("po/quarzello.pot is current")
        return
    failures = []
    for lang in languages(po_dir):
        po = os.path.join(po_dir, lang + ".po")
        result = subprocess.run(["msgfmt", "--check", "--statistics", "-o", os.devnull, po],
                                capture_output=True, text=True, env=dict(os.environ, LC_ALL="C"))
        print(f"{lang}: {result.stderr.strip()}")
        if result.returncode != 0:
            failures.append(f"{lang}.po does not compile:\n{result.stderr}")
            continue
        # A template text the catalogue lacks counts as untranslated, too.
        merged = subprocess.run(["msgmerge", "--quiet", "--no-fuzzy-matching", "-o", "-", po, pot],
                                capture_output=True, text=True, check=True).stdout
        missing = subprocess.run(["msgattrib", "--untranslated", "--no-obsolete", "-"], input=merged,
                                 capture_output=True, text=True, check=True).stdout
        fuzzy = subprocess.run(["msgattrib", "--only-fuzzy", "--no-obsolete", "-"], input=merged,
                               capture_output=True, text=True, check=True).stdout
        names = [m for m in re.findall(r'^msgid "(.+)"$', missing + fuzzy, re.M)]
        if names and lang != "en":
            failures.append(f"{lang}.po lacks {len(names)} texts:\n  " + "\n  ".join(names))
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()
