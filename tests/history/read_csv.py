"""Reads a CSV file as a spreadsheet user's Python would and prints its rows, one a line,
each field as the hex of its UTF-8 bytes. Fails when the file lacks the byte-order mark, has
a quoting error, or is not exactly what Python's own RFC 4180 writer makes of those rows."""
import csv
import io
import sys

raw = open(sys.argv[1], "rb").read()
if not raw.startswith(b"\xef\xbb\xbf"):
    sys.exit("no byte-order mark")
text = raw.decode("utf-8-sig")
rows = list(csv.reader(io.StringIO(text, newline=""), strict=True))
again = io.StringIO(newline="")
csv.writer(again, lineterminator="\r\n").writerows(rows)
if again.getvalue() != text:
    sys.exit("not as RFC 4180 writes it: %r" % text[:200])
for row in rows:
    print(" ".join(field.encode("utf-8").hex() for field in row))
