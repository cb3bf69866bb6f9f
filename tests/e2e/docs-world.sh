# Sourced by every page the docs test runs (docs/*.md), in an empty folder
# (the test's own /srv/kits): makes there the world the page's commands
# name, from the example kits and fixed seeds, and stops the clock of this
# shell's programs at 2026-12-10T09:00:00Z, so that every output is the same
# bytes on every run.
#   kit-1.0/             examples/kit, the release out there
#   kit-1.1/             its next release (scripts/make-next-kit.sh)
#   kit-with-mistakes/   examples/kit-with-mistakes
#   machine.bin          one machine's firmware dump
#   dumps/               twelve machines' dumps (scripts/make-fleet.py)
#   fleet.csv            a rehearsal fleet of 1,000 machines with their maps
#   share/               twelve machines' own rows, as the share holds them, and
#                        an older row of PC00000003 beside its own
#   collection.csv       the machines that should report: the share's, and PC-GONE
repo=${DOCS_REPO:?the repository}
{
cp -r "$repo/examples/kit" kit-1.0
"$repo/scripts/make-next-kit.sh" kit-1.1
cp -r "$repo/examples/kit-with-mistakes" kit-with-mistakes
python3 "$repo/scripts/make-fleet.py" dumps 12
cp dumps/machine00000.bin machine.bin
python3 "$repo/scripts/make-inventory.py" fleet.csv 1000 --hashes kit-1.1 kit-1.0
python3 "$repo/scripts/make-inventory.py" share 12 --share --hashes kit-1.1 kit-1.0
{ echo name; ls share | sed 's/\.csv$//'; echo PC-GONE; } >collection.csv
# Last month's row of a machine, left beside its new one.
sed 's/,2026-1[0-2]-[0-9][0-9]T/,2026-09-01T/' share/PC00000003.csv >share/PC00000003-september.csv
} >/dev/null
export LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 FAKETIME="2026-12-10 09:00:00"
