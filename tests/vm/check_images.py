"""Host-side checks of what a scenario left: image files and listings.

  check_images.py pattern TEXT IMAGE...   every byte of each image is TEXT
                                          repeated from its first byte
  check_images.py untouched IMAGE...      each image still holds the filler
                                          byte 0xA5 everywhere
  check_images.py identity EXPECTED LISTING
                                          each disk of the program's
                                          `list --json` listing that EXPECTED
                                          (JSON: device name -> fields)
                                          names has those field values
"""
import json
import sys

FILLER = 0xA5
CHUNK = 1 << 20


def first_difference(image, expected_at):
    with open(image, "rb") as data:
        offset = 0
        while chunk := data.read(CHUNK):
            expected = expected_at(offset, len(chunk))
            if chunk != expected:
                return offset + next(i for i in range(len(chunk)) if chunk[i] != expected[i])
            offset += len(chunk)
    return None


def check_pattern(text, images):
    pattern = text.encode()
    failures = []
    for image in images:
        def expected_at(offset, length):
            start = offset % len(pattern)
            repeated = pattern * (length // len(pattern) + 2)
            return repeated[start:start + length]
        at = first_difference(image, expected_at)
        if at is not None:
            failures.append(f"{image}: byte {at} is not the pattern")
    return failures


def check_untouched(images):
    failures = []
    for image in images:
        at = first_difference(image, lambda offset, length: bytes([FILLER]) * length)
        if at is not None:
            failures.append(f"{image}: byte {at} was written")
    return failures


def check_identity(expected_file, listing_file):
    with open(expected_file) as file:
        expected = json.load(file)
    with open(listing_file) as file:
        disks = {disk["deviceName"]: disk for disk in json.load(file)["physicalDisks"]}
    failures = []
    for device, fields in expected.items():
        disk = disks.get(device)
        if disk is None:
            failures.append(f"{device} is not listed (listed: {', '.join(disks)})")
            continue
        for field, value in fields.items():
            actual = disk["identity"].get(field, disk.get(field))
            if actual != value:
                failures.append(f"{device} {field}: listed {actual!r}, expected {value!r}")
    return failures


def main():
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == "pattern":
        failures = check_pattern(arguments[0], arguments[1:])
    elif command == "untouched":
        failures = check_untouched(arguments)
    else:
        failures = check_identity(*arguments)
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
