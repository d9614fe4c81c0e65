#!/usr/bin/env python3
"""Fails when a user-visible text of the program lacks a finished translation in a catalogue, or when a
catalogue holds an entry that no source produces any more.

The catalogues are copied aside and refreshed from the sources with lupdate (as the `lupdate` target
does), so a text that the code uses but the committed catalogue does not know yet shows up as
unfinished too, and one that the code no longer uses is missing from the copy."""
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

lupdate, source_dir = sys.argv[1], Path(sys.argv[2])
catalogues = sorted((source_dir / "resources" / "Language").glob("*.ts"))
if not catalogues:
    sys.exit("no catalogues found")

def entries(path):
    return {(context.findtext("name"), message.findtext("source"), message.findtext("comment"))
            for context in ET.parse(path).getroot().iter("context") for message in context.iter("message")}

failures = []
with tempfile.TemporaryDirectory() as tmp:
    copies = [Path(shutil.copy(ts, tmp)) for ts in catalogues]
    # The folders of cmake/Lupdate.cmake; the include path lets lupdate see each class's declaration.
    folders = [str(source_dir / d) for d in ("common", "settings", "device", "mail", "history", "power", "room",
                                             "metrics", "service", "cli", "ui", "app")
               if (source_dir / d).is_dir()]
    subprocess.run([lupdate, "-no-obsolete", "-locations", "none", "-silent", "-I", str(source_dir), *folders,
                    "-ts", *map(str, copies)], check=True)
    for committed, copy in zip(catalogues, copies):
        for context, source, _ in sorted(entries(committed) - entries(copy), key=str):
            failures.append(f"{copy.name}: {context}: {source!r} is used by no source")
        for context in ET.parse(copy).getroot().iter("context"):
            for message in context.iter("message"):
                translation = message.find("translation")
                text = "".join(translation.itertext()).strip() if translation is not None else ""
                if (translation is None or translation.get("type") == "unfinished"
                        or (message.get("numerus") != "yes" and not text)):
                    failures.append(f"{copy.name}: {context.findtext('name')}: {message.findtext('source')!r} "
                                    "is untranslated")

for line in failures:
    print(line)
print(f"{len(failures)} untranslated or unused entries in {len(catalogues)} catalogues")
sys.exit(1 if failures else 0)
