#!/usr/bin/env bash
# Writes into DIR the example kit's next release, the kit a plan is shown
# against: QX70 added (the maps of MRL01), MRL02 dropped, and MRL01's AC
# map tuned. DIR must not exist yet.
# Usage: scripts/make-next-kit.sh DIR
set -euo pipefail
examples=$(cd "$(dirname "$0")/../examples" && pwd)
dir=$1
cp -r "$examples/kit" "$dir"
printf '[Version]\r\nVer=Morlane_V4.0.0.4\r\n[DMI_Type0_Table]\r\nTOTAL_NUM=2\r\n1=MRL01\r\n2=QX70\r\n[DMI_Type130_Table]\r\nTOTAL_NUM=1\r\n1=Morlane-S\r\n' \
  >"$dir/KORVPlatformTable.ini"
rm -r "$dir/MRL02"
cp -r "$examples/kit/MRL01" "$dir/QX70"
printf 'FanCurve=quiet\r\n' >>"$dir/MRL01/ThermalMap_AC.ini"
