#!/bin/sh
# Makes one setup, as the build does (installer/CMakeLists.txt) and the signing
# test again with its own certificate:
#   installer/make-setup.sh SETUP PAYLOAD VERSION ARCH PROGRAM PORTIO_HW DRIVER PORTIO_SIM PAD PAD_CONSOLE
#                           FOLDER_JUDGE CARRIED
# The files the setup carries are copied into PAYLOAD, laid out as the setup
# installs them (the driver beside the program), signed when ZEPH_SIGN_PKCS12
# names a certificate (tools/sign.sh), and given the commit's time
# (SOURCE_DATE_EPOCH), which makensis stores in the setup: their build times
# would make every build's setup differ. makensis then signs the setup and the
# uninstaller it carries with the same certificate. The setup's own helper, the
# judge of its folder, goes the same way into CARRIED.
set -eu
setup=$1 payload=$2 version=$3 arch=$4
program=$5 portio_hw=$6 driver=$7 portio_sim=$8 pad=$9
shift 9
pad_console=$1 folder_judge=$2 carried=$3
here=$(cd "$(dirname "$0")" && pwd)
: "${SOURCE_DATE_EPOCH:?installer/make-setup.sh: SOURCE_DATE_EPOCH is not set}"
export SOURCE_DATE_EPOCH

rm -rf "$payload" "$carried"
mkdir -p "$payload/Simulator" "$carried"
cp "$folder_judge" "$carried/zephfolder.exe"
cp "$program" "$payload/zephkeys.exe"
cp "$portio_hw" "$payload/PortIO.dll"
cp "$driver" "$payload/zephio.sys"
cp "$pad" "$payload/zephpad.exe"
cp "$pad_console" "$payload/zephpad.com"
cp "$portio_sim" "$payload/Simulator/PortIO.dll"
sign=
if [ -n "${ZEPH_SIGN_PKCS12:-}" ]; then
  sign=$here/../tools/sign.sh
  "$sign" "$payload"/*.* "$payload/Simulator/PortIO.dll" "$carried/zephfolder.exe"
fi
for f in zephkeys.exe zephpad.exe zephpad.com; do
  cp "$payload/$f" "$payload/Simulator/$f"
done
touch -m -d "@$SOURCE_DATE_EPOCH" "$payload"/*.* "$payload"/Simulator/* "$carried/zephfolder.exe"

# The wizard's picture is packed as a file too (the pages unpack it), with the
# time of its checkout unless given the commit's.
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
cp "$here/../res/zephra.ico" "$here/../res/wizard.bmp" "$pictures/"
touch -m -d "@$SOURCE_DATE_EPOCH" "$pictures"/*

mkdir -p "$(dirname "$setup")"
cd "$here"
"${ZEPH_MAKENSIS:-makensis}" -V2 -NOCD \
  -DVERSION="$version" -DARCH="$arch" -DOUTFILE="$setup" ${sign:+-DSIGN="$sign"} \
  -DPROGRAM="$payload/zephkeys.exe" -DPORTIO_HW="$payload/PortIO.dll" -DDRIVER="$payload/zephio.sys" \
  -DPORTIO_SIM="$payload/Simulator/PortIO.dll" -DPAD="$payload/zephpad.exe" \
  -DPAD_CONSOLE="$payload/zephpad.com" -DFOLDER_JUDGE="$carried/zephfolder.exe" -DICON="$pictures/zephra.ico" -DWIZARD="$pictures/wizard.bmp" \
  zephra.nsi
