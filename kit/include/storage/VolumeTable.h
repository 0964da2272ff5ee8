#pragma once

// The volume namespace: how the system's paths map onto Linux.
//
// Paths inside the system have the form "/<volume>/rest". The volumes are
// the mounted file systems of /proc/self/mountinfo, kernel pseudo file
// systems left out. The volume mounted at "/" is the boot volume; it is
// reached both as "/boot/rest" and as "/<its name>/rest", and it is named
// after its file-system label, or "Morvane HD" without one. Every other
// volume is named after the last component of its mount point, with " 2",
// " 3", ... added where names would clash.
//
// MORVANE_VOLUMES="name=folder[,ro][,removable][,noattr][,size=BYTES][,block=BYTES];..."
// replaces the mount table; the first entry is the boot volume. "ro" makes
// the kit refuse to create, change or remove anything below the folder with
// B_READ_ONLY_DEVICE; "noattr" makes the volume say it keeps no attributes; "size" fixes the reported capacity, and the free bytes
// are that size minus the bytes of the files below the folder. With "block"
// the volume counts as a real file system does: every file takes whole
// blocks, and the free bytes are whole blocks too. Entries that cannot be
// used are skipped with a message on stderr.
//
// Such a folder marked "removable" stands for a drive whose medium is the
// folder: Eject() moves the folder away, which leaves the drive empty (its
// entry stays, with no space and nothing below it), and InsertMedium() puts
// a folder in its place. A real removable volume is ejected by unmounting it.
//
// Translation is lexical: "//" and "." are dropped and ".." removes the
// component before it. A ".." that would leave the volume ("/data/..")
// gives B_BAD_VALUE, as does a relative or empty path; an unknown volume
// gives B_ENTRY_NOT_FOUND. Native paths go back to the system form through
// the volume with the longest matching folder; the boot volume gives
// "/boot/...", which is the canonical form of its paths. Paths given with the
// boot volume's name keep that name (so that a listing of "/" shows it);
// Location::canonicalPath has the "/boot" form for comparisons.
//
// The table is read on first use and kept until Reload(). Every call is
// thread-safe; a reload numbers the volumes afresh, so ids and locations
// obtained before it may then name another volume.

#include <string>
#include <vector>

#include <support/Errors.h>
#include <support/SupportDefs.h>

class VolumeTable {
public:
	struct Volume {
		dev_t device = 0;           // the volume id, 1 for the boot volume
		std::string name;
		std::string folder;         // native folder: the mount point
		std::string deviceName;     // the mounted device; empty for folders
		std::string fileSystem;     // "ext4", "tmpfs", ...; empty for folders
		bool isBoot = false;
		bool readOnly = false;
		bool removable = false;
		bool persistent = true;
		bool shared = false;        // a network file system
		bool knowsAttributes = true;
		off_t fixedSize = -1;       // the capacity "size=" sets, or -1
		off_t blockSize = 0;        // the allocation unit "block=" sets, or 0
	};

	// Where a system path leads. The root "/" is the list of volumes and
	// lies on none: device 0 and no native path.
	struct Location {
		std::string path;           // normalised system path, volume as named
		std::string canonicalPath;  // the same with "/boot" for the boot volume
		std::string native;
		dev_t device = 0;
		bool readOnly = false;

		bool IsRoot() const { return device == 0; }
		// True for "/<volume>" itself.
		bool IsVolumeRoot() const;
	};

	// Reads the table again: MORVANE_VOLUMES when set, else the mount table.
	[[nodiscard]] static status_t Reload();
	// Reads the table from a mountinfo file and a by-label folder, ignoring
	// MORVANE_VOLUMES; for tests of the mount-table reading.
	[[nodiscard]] static status_t ReloadFromMountInfo(const char* mountInfoPath,
		const char* labelFolder);

	// Lexical normalisation of a system path, without looking the volume up.
	[[nodiscard]] static status_t Normalize(const char* path, std::string* normalized);
	[[nodiscard]] static status_t Locate(const char* path, Location* location);
	[[nodiscard]] static status_t ToNative(const char* path, std::string* native);
	// B_BAD_VALUE for a relative path, B_ENTRY_NOT_FOUND outside every volume.
	[[nodiscard]] static status_t ToSystem(const char* native, std::string* path);

	static int32 CountVolumes();
	// B_BAD_VALUE for an unknown id.
	[[nodiscard]] static status_t GetVolume(dev_t device, Volume* volume);
	// The volume after *cookie (start with 0); B_BAD_VALUE at the end.
	[[nodiscard]] static status_t GetNextVolume(int32* cookie, Volume* volume);
	// The boot volume's id, or 0 when the table has no volume.
	static dev_t BootDevice();

	// Capacity and free bytes of a volume: the "size" of its entry and what
	// the files below its folder leave of it, or statvfs's figures.
	// B_DEV_NOT_READY for a drive without a medium.
	[[nodiscard]] static status_t GetSpace(const Volume& volume, off_t* capacity,
		off_t* freeBytes);

	// Takes the medium out of a removable volume. A real volume is unmounted
	// (not lazily: a busy one stays mounted) and the table is read again,
	// which renumbers the volumes. A folder volume's folder is moved to a new
	// sibling "<folder>.medium-N", whose native path goes to mediumFolder
	// when that is given. B_BAD_VALUE for an unknown id; B_NOT_ALLOWED for
	// the boot volume and for volumes that are not removable;
	// B_DEV_NOT_READY when a drive holds no medium; else the error of
	// umount2(2) or rename(2), such as B_FROM_ERRNO(EPERM).
	[[nodiscard]] static status_t Eject(dev_t device, std::string* mediumFolder = nullptr);
	// Puts a medium into an empty removable folder volume: the native folder
	// mediumFolder is moved into place, or a blank medium is made when it is
	// null. B_BUSY when a medium is in; B_NOT_ALLOWED for any other volume;
	// B_NOT_A_DIRECTORY when mediumFolder is no folder.
	[[nodiscard]] static status_t InsertMedium(dev_t device, const char* mediumFolder);

	static constexpr const char* kBootAlias = "boot";
	static constexpr const char* kFallbackBootName = "Morvane HD";
};
