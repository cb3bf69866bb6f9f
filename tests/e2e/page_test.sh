#!/usr/bin/env bash
# The fleet page, rendered by headless Chromium: the crafted fleet's page
# holds the counts of the JSON output and one bar per folder; its screenshot
# is a picture of the requested size; a hostile BIOS version shows as text
# and the page holds no script. One Chromium run each.
source "$(dirname "$0")/test-lib.sh"
: "${NATIVE_CHECKER:?the native thermalmapcheck}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# chromium_run ARGS... PAGE: headless Chromium, with nothing of its own
# reaching the network.
chromium_run() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d -p "$work")" --hide-scrollbars "$@" 2>/dev/null
}

# The crafted fleet: dumps of 18 machines and a file that is none.
kit="$work/kit"
cp -r "$repo/examples/kit" "$kit"
python3 "$repo/scripts/make-fleet.py" "$kit/fleet" 40
printf 'not a table\r\n' >"$kit/fleet/notes.txt"
(cd "$kit" && "$NATIVE_CHECKER" --kit . --firmware fleet --format json >"$work/fleet.json" 2>/dev/null) || true
(cd "$kit" && "$NATIVE_CHECKER" --kit . --firmware fleet --format html >"$work/fleet.html" 2>/dev/null) || true
chromium_run --dump-dom "file://$work/fleet.html" >"$work/fleet.dom"
python3 - "$work/fleet.json" "$work/fleet.dom" >"$work/counts" <<'PY'
import html.parser, json, sys
summary = json.load(open(sys.argv[1]))
s = summary["summary"]
expected = {"machines": str(s["machines"]), "exit": str(summary["exit_status"]),
            "bars": sorted(str(f["machines"]) for f in s["folders"]) + [str(s["no_match"]), str(s["unreadable"])]}
class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.found, self.field, self.folders, self.others = {}, None, [], []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        classes = a.get("class", "").split()
        if tag == "rect" and "bar" in classes:
            (self.folders if "folder" in classes else self.others).append(a["data-count"])
        self.field = {"machine-count": "machines", "exit-status": "exit"}.get(a.get("class"))
    def handle_data(self, data):
        if self.field:
            self.found[self.field] = data
            self.field = None
page = Page()
page.feed(open(sys.argv[2]).read())
found = {"machines": page.found.get("machines"), "exit": page.found.get("exit"),
         "bars": sorted(page.folders) + page.others}
print(json.dumps(expected) + "\n" + json.dumps(found))
PY
check "the page holds the JSON's counts and one bar per folder" "$(sed -n 1p "$work/counts")" "$(sed -n 2p "$work/counts")"

chromium_run --screenshot="$work/fleet.png" --window-size=900,1200 "file://$work/fleet.html" >/dev/null
check "the screenshot: a PNG of 900 by 1200 pixels, not of one colour" "900 1200 many" "$(python3 - "$work/fleet.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
width, height, depth, kind = struct.unpack(">IIBB", data[16:26])
at, idat = 8, b""
while at < len(data):
    length, name = struct.unpack(">I4s", data[at:at + 8])
    if name == b"IDAT":
        idat += data[at + 8:at + 8 + length]
    at += 12 + length
raw = zlib.decompress(idat)
pixel = {2: 3, 6: 4}[kind] * depth // 8
stride = width * pixel
rows, previous = [], bytearray(stride)
for y in range(height):
    line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
    kind_of_filter, row = line[0], bytearray(line[1:])
    for x in range(stride):
        left = row[x - pixel] if x >= pixel else 0
        up = previous[x]
        corner = previous[x - pixel] if x >= pixel else 0
        if kind_of_filter == 1: row[x] = (row[x] + left) & 0xFF
        elif kind_of_filter == 2: row[x] = (row[x] + up) & 0xFF
        elif kind_of_filter == 3: row[x] = (row[x] + (left + up) // 2) & 0xFF
        elif kind_of_filter == 4:
            p = left + up - corner
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
            row[x] = (row[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
    rows.append(bytes(row))
    previous = row
colours = {row[x:x + pixel] for row in rows[::7] for x in range(0, stride, pixel * 7)}
print(width, height, "many" if len(colours) > 1 else "one")
PY
)"

# A fleet larger than the page lists: the first machines, and a word on
# where the others are.
python3 "$repo/scripts/make-inventory.py" "$work/fleet.csv" 3000 500
(cd "$kit" && "$NATIVE_CHECKER" --kit . --firmware "$work/fleet.csv" --format html >"$work/large.html" 2>/dev/null) || true
check "a large fleet's page lists its first 1000 machines" \
  "1 1000" "$(grep -c 'The first 1000 of 3000 machines (the CSV output lists them all)' "$work/large.html") $(sed -n '/<details class="machines"/,/<\/details>/p' "$work/large.html" | grep -c '^<tr><td>')"

# The summary an auditor signs: the page printed on A4, its first sheet
# holding the run's time, the checker, each kit, the roll call and the
# releases. The first sheet's picture stays in the test's folder for a look.
"$repo/scripts/make-next-kit.sh" "$work/next" >/dev/null
python3 "$repo/scripts/make-inventory.py" "$work/share.csv" 300 40 --written --hashes "$work/next" "$kit"
{ tail -n +2 "$work/share.csv" | cut -d, -f1 | head -250; echo PC-GONE; } >"$work/expected.txt"
"$NATIVE_CHECKER" --kit "$work/next" --baseline-kit "$kit" --firmware "$work/share.csv" --expect "$work/expected.txt" \
  --max-age 30 --format html >"$work/audit.html" 2>/dev/null || true
chromium_run --no-pdf-header-footer --print-to-pdf="$work/audit.pdf" "file://$work/audit.html" >/dev/null
pdftotext -f 1 -l 1 -layout "$work/audit.pdf" - | tr -s ' \n' ' ' >"$work/sheet1"
check "printed on A4, the head on the first sheet" \
  "(A4)|Checked by thermalmapcheck|Kit: $work/next (release next|Baseline kit: $kit (release kit|Roll call: 251 expected, 300 reported, 1 missing (PC-GONE), 50 unexpected|stale|Releases of the 300 machines that report their maps" \
  "$(pdfinfo "$work/audit.pdf" | grep -o '(A4)')|$(grep -o 'Checked by thermalmapcheck' "$work/sheet1")|$(grep -o "Kit: $work/next (release next" "$work/sheet1")|$(grep -o "Baseline kit: $kit (release kit" "$work/sheet1")|$(grep -o 'Roll call: 251 expected, 300 reported, 1 missing (PC-GONE), 50 unexpected' "$work/sheet1")|$(grep -o 'stale' "$work/sheet1" | head -1)|$(grep -o 'Releases of the 300 machines that report their maps' "$work/sheet1")"
pdftoppm -f 1 -l 1 -r 50 -png "$work/audit.pdf" "$work/sheet"
check "the first sheet as a picture: A4 at 50 dots an inch" "414 585" \
  "$(python3 -c 'import struct, sys; print(*struct.unpack(">II", open(sys.argv[1], "rb").read()[16:24]))' "$work"/sheet-*.png)"

# A machine whose BIOS version is markup.
python3 - "$kit/hostile.bin" <<'PY'
import struct, sys
strings = [b"Contoso", b"<script>alert(1)</script>", b"12/01/2026"]
bios = bytes([0, 24, 0, 0, 1, 2, 0, 0xE8, 3, 0] + [0] * 10 + [1, 2, 3, 4])
table = bios + b"".join(s + b"\0" for s in strings) + b"\0" + bytes([127, 4, 0xFF, 0xFF, 0, 0])
open(sys.argv[1], "wb").write(struct.pack("<BBBBI", 0, 3, 2, 0, len(table)) + table)
PY
(cd "$kit" && "$NATIVE_CHECKER" --kit . --firmware hostile.bin --format html >"$work/hostile.html" 2>/dev/null) || true
chromium_run --dump-dom "file://$work/hostile.html" >"$work/hostile.dom"
check "a hostile BIOS version shows as text, and the page holds no script" "shown 0" \
  "$(grep -q '&lt;script&gt;alert(1)&lt;/script&gt;' "$work/hostile.dom" && echo shown) $(grep -ci '<script' "$work/hostile.dom")"
finish
