#!/usr/bin/env python3
"""Fails when a user-visible text of the program lacks a finished translation in a catalogue.

The catalogues are copied aside and refreshed from the sources with lupdate, so a text that the code
uses but the committed catalogue does not know yet shows up as unfinished too."""
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

failures = []
with tempfile.TemporaryDirectory() as tmp:
    copies = [Path(shutil.copy(ts, tmp)) for ts in catalogues]
    folders = [str(source_dir / d) for d in ("app", "device", "history", "mail", "ui", "cli", "service")
               if (source_dir / d).is_dir()]
    subprocess.run([lupdate, "-no-obsolete", "-locations", "none", "-silent", *folders, "-ts", *map(str, copies)],
                   check=True)
    for copy in copies:
        for context in ET.parse(copy).getroot().iter("context"):
            for message in context.iter("message"):
                translation = message.find("translation")
                text = "".join(translation.itertext()).strip() if translation is not None else ""
                if (translation is None or translation.get("type") == "unfinished"
                        or (message.get("numerus") != "yes" and not text)):
                    failures.append(f"{copy.name}: {context.findtext('name')}: {message.findtext('source')!r}")

for line in failures:
    print("untranslated:", line)
print(f"{len(failures)} untranslated texts in {len(catalogues)} catalogues")
sys.exit(1 if failures else 0)
