#!/usr/bin/env python3
"""Writes a deterministic installation-like corpus of about 300 MB under the given directory:
program binaries (partly compressible), help and template texts (many small files, a few large logs),
and incompressible images and cabinets; nested folders, empty files and an empty folder. Reused when
its stamp matches this generator's version."""
import os
import random
import sys

VERSION = "mvn-bench-corpus 1"
WORDS = ("Schüler Zeugnis Klasse Fach Note Lehrer Schuljahr Halbjahr Bemerkung Versetzung Mathematik "
         "Deutsch Englisch Biologie Sport Kunst Musik Religion Ethik Physik Chemie Erdkunde Geschichte "
         "sehr gut befriedigend ausreichend mangelhaft Arbeitsverhalten Sozialverhalten Fehlzeiten "
         "entschuldigt unentschuldigt Konferenz Beschluss Datum Unterschrift Klassenleitung der die das "
         "und mit für von zu im am ist hat wurde werden nicht auch noch bereits regelmäßig").split()


def text(rng, size, kind):
    lines, length = [], 0
    while length < size:
        if kind == "ini":
            line = "%s%d=%s" % (rng.choice(WORDS), rng.randrange(100), " ".join(rng.choices(WORDS, k=3)))
        elif kind == "xml":
            line = '<eintrag id="%d" fach="%s">%s</eintrag>' % (
                rng.randrange(10**6), rng.choice(WORDS), " ".join(rng.choices(WORDS, k=rng.randrange(3, 12))))
        else:
            line = "2024-%02d-%02d %02d:%02d:%02d [%s] %s" % (
                rng.randrange(1, 13), rng.randrange(1, 29), rng.randrange(24), rng.randrange(60),
                rng.randrange(60), rng.choice(("INFO", "WARN", "DEBUG")), " ".join(rng.choices(WORDS, k=8)))
        lines.append(line)
        length += len(line.encode()) + 2
    return ("\r\n".join(lines) + "\r\n").encode()[:size]


def binary(rng, size):
    """Code-like tokens, tables of counters, zero padding and embedded random resources."""
    tokens = [rng.randbytes(rng.randrange(1, 9)) for _ in range(512)]
    weights = [1.0 / (i + 1) for i in range(len(tokens))]
    parts, length = [], 0
    while length < size:
        kind = rng.random()
        if kind < 0.6:
            chunk = b"".join(rng.choices(tokens, weights, k=1200))
        elif kind < 0.75:
            start = rng.randrange(1 << 20)
            chunk = b"".join((start + 16 * i).to_bytes(4, "little") for i in range(1024))
        elif kind < 0.85:
            chunk = bytes(rng.randrange(512, 8192))
        else:
            chunk = rng.randbytes(rng.randrange(1024, 16384))
        parts.append(chunk)
        length += len(chunk)
    return b"".join(parts)[:size]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main(root):
    stamp = os.path.join(root, ".stamp")
    if os.path.exists(stamp) and open(stamp).read() == VERSION:
        return
    rng = random.Random(20240517)
    base = os.path.join(root, "Morvane")
    for i in range(6):
        write(os.path.join(base, "Programm", "modul%d.dll" % i), binary(rng, rng.randrange(8, 14) << 20))
    write(os.path.join(base, "Morvane9.EXE"), binary(rng, 24 << 20))
    for i in range(1500):
        folder = os.path.join(base, "Vorlagen", "Schule%02d" % (i % 40), "Jahrgang%d" % (i % 7))
        kind = ("ini", "xml", "log")[i % 3]
        write(os.path.join(folder, "vorlage%04d.%s" % (i, kind)), text(rng, rng.randrange(2, 64) << 10, kind))
    for i in range(3):
        write(os.path.join(base, "Protokolle", "protokoll%d.log" % i), text(rng, 22 << 20, "log"))
    for i in range(200):
        write(os.path.join(base, "Bilder", "bild%03d.jpg" % i), rng.randbytes(rng.randrange(100, 400) << 10))
    write(os.path.join(base, "Setup", "daten.cab"), rng.randbytes(40 << 20))
    for i in range(20):
        write(os.path.join(base, "Leer", "leer%02d.txt" % i), b"")
    os.makedirs(os.path.join(base, "Ohne Inhalt"), exist_ok=True)
    write(stamp, VERSION.encode())


if __name__ == "__main__":
    main(sys.argv[1])
