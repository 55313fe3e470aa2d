"""Writes a zip whose bytes depend only on its files and the time given: entries in the order
named, each dated with that time (UTC), one set of permissions, no extra fields.

    make_zip.py ZIP EPOCH FOLDER NAME...
"""
import sys
import time
import zipfile


def main(zip_path, epoch, folder, names):
    # Zip dates start in 1980; they hold no time zone, so UTC is the one that all builds agree on.
    date_time = time.gmtime(max(int(epoch), 315532800))[:6]
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS: Windows reads its attributes, none of Unix's
            entry.external_attr = 0x20  # the archive attribute, as Windows gives a new file
            with open(f"{folder}/{name}", "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:])
