#!/bin/bash
# The main job of Morvane Backup, run as a user runs it: in a fresh copy of
# the installed tree, back up a sample tree with LZRW1 to a folder of image
# files, list the backups, browse the new one, print its report, restore it
# into a new folder and show that the copy equals the source; then change a
# file and compare the backup with the live files, remove the backup from
# the catalogue, find it again in the image folder, insert it back and
# restore from the re-inserted catalogue. Last, tapes: a virtual tape drive
# with two small tapes, a backup that spans both (the media question answered
# by loading the second tape), and its restore, which asks for the tapes in
# turn.
#
#   backup-demo.sh DIST    DIST: the installed tree (build/dist/MorvaneBackup)

set -euo pipefail

dist=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-demo.XXXXXX")
server="$work/MorvaneBackup/Backup_Server/MorvaneServer"

cleanup() {
	pkill -TERM -f "^$server" 2>/dev/null || true
	for _ in $(seq 50); do
		pgrep -f "^$server" >/dev/null || break
		sleep 0.1
	done
	rm -rf "$work"
}
trap cleanup EXIT

step() {
	printf '\n\033[1m== %s\033[0m\n' "$*"
}

show() {
	printf '$'
	printf ' %q' "$@"
	printf '\n'
	"$@"
}

cp -a "$dist" "$work/MorvaneBackup"
mkdir -m 700 "$work/runtime"
# The demo's folder is the one volume the programs see: its system paths
# are "/Demo/...".
export MORVANE_VOLUMES="Demo=$work"
export MORVANE_RUNTIME_DIR="$work/runtime"
export MORVANE_VTAPE_DIR="$work/Tapes"
morvane() { "$work/MorvaneBackup/morvane" "$@"; }
vtape() { "$work/MorvaneBackup/vtape" "$@"; }

step "A sample tree: files of several sizes, a symbolic link, an extended attribute"
sample="$work/Sample"
mkdir -p "$sample/docs/notes" "$sample/photos" "$sample/empty folder"
printf 'Hello from Morvane Backup.\n' >"$sample/docs/readme.txt"
: >"$sample/docs/empty file"
seq 1 150000 >"$sample/docs/notes/numbers.txt"
head -c 65513 /dev/urandom >"$sample/photos/holiday.raw"
head -c 3000000 /dev/urandom >"$sample/photos/video.raw"
ln -s ../docs/readme.txt "$sample/photos/readme link"
setfattr -n user.comment -v "kept as an extended attribute" "$sample/docs/readme.txt"
(cd "$work" && find Sample \( -type l -printf '%M %10s  %p -> %l\n' \) -o -printf '%M %10s  %p\n' |
	sort -k3)
getfattr --absolute-names -d "$sample/docs/readme.txt" | sed -n 2p

step "Back up the sample tree with LZRW1 into a folder of image files"
show morvane backup --compress lzrw1 --title "Demo backup" --to "$work/Images" "$sample"
ls -l "$work/Images"

step "The catalogue of backups"
show morvane backups
backup=$(morvane backups --json | grep -o '"id" *: *"[^"]*"' | tail -1 | sed 's/.*"\([^"]*\)"$/\1/')

step "Browse backup $backup"
show morvane ls "$backup"
show morvane ls "$backup" /Demo/Sample
show morvane ls "$backup" /Demo/Sample/docs

step "Its report"
report=$(morvane reports --json | grep -o '"id" *: *[0-9-]*' | tail -1 | grep -o '[0-9-]*$')
show morvane report "$report"

step "Restore it into a new folder and compare with the source"
show morvane restore "$backup" --to "$work/Restored"
restored=$(find "$work/Restored" -type d -name Sample | head -1)
show diff -r "$sample" "$restored"
echo "diff -r: the restored tree equals the source."
getfattr --absolute-names -d "$restored/docs/readme.txt" | sed -n 2p

step "Change one file of the sample, then compare the backup with the live files"
# One byte of the numbers changes; size and modification time stay.
touch -r "$sample/docs/notes/numbers.txt" "$work/numbers.time"
printf 'X' | dd of="$sample/docs/notes/numbers.txt" bs=1 seek=400000 conv=notrunc status=none
touch -r "$work/numbers.time" "$sample/docs/notes/numbers.txt"
set +e
show morvane compare "$backup" /Demo/Sample
status=$?
set -e
echo "morvane compare exited with $status: the backup and the live files differ."
[ "$status" = 2 ]

step "Remove the backup from the catalogue only; its image stays"
show morvane delete "$backup"
show morvane backups
show morvane scan --from "$work/Images"

step "Insert it back from the image folder and restore from the new catalogue"
show morvane insert --from "$work/Images"
show morvane backups
show morvane restore "$backup" --to "$work/Restored again"
again=$(find "$work/Restored again" -type d -name Sample | head -1)
show diff -r "$restored" "$again"
echo "diff -r: the restore from the re-inserted catalogue equals the first restore."

step "Tapes: a virtual drive with two tapes of 3 MB each"
show vtape new tape-1 --size 3M --early-warning 512K
show vtape new tape-2 --size 3M --early-warning 512K
show vtape load tape-1
show morvane drives
show morvane tape status /dev/bus/scsi/9/0/0/raw

step "A backup larger than one tape: at its early warning the second tape is loaded"
show morvane backup --title "Tape backup" --tape /dev/bus/scsi/9/0/0/raw \
	--on-media-change "$work/MorvaneBackup/vtape load tape-2" "$sample"
show vtape list
tape_backup=$(morvane backups --json | grep -o '"id" *: *"[^"]*" *, *"title" *: *"Tape backup"' |
	sed 's/^"id" *: *"\([^"]*\)".*/\1/')

step "Restore it: the first tape, then the second when the restore asks for it"
show vtape load tape-1
show morvane restore "$tape_backup" --to "$work/From tape" \
	--on-media-change "$work/MorvaneBackup/vtape load tape-2"
from_tape=$(find "$work/From tape" -type d -name Sample | head -1)
show diff -r "$sample" "$from_tape"
echo "diff -r: the tree restored from two tapes equals the sample as it is now."

