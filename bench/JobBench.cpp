// Backs up and restores two trees through a real server and the morvane
// program, against tar on the same trees and the same disk, in one run:
//
//   big    1 GiB in 64 files
//   small  100,000 files of 1 to 8 KiB in 1,000 folders
//
// Each side runs twice, in turn first and last, and its fastest run counts.
// Backups run with "--compress none" against `tar -cf`, and with LZRW1
// against `tar -c | lz4 -1`; restores of both backups run against
// `tar -xf` of the matching archive (piped through `lz4 -d` for the
// compressed one). The uncompressed backup is then compared with the
// tree against `tar -d` of the matching archive, and read back into the
// catalogue by the file-by-file scan (its image copied with the end of its
// catalogue record cut off) against reading that image once with cat.
// Every timed command is followed by sync(1), on both sides, so that data
// still in the page cache counts.
//
// Last, the big tree goes to the virtual tape drive and back against the
// same to a folder of image files (uncompressed, both through morvane): the
// tape's ratio to the image folder.
//
// The figures are time ratios (ours / tar's) and files per second. The work
// folder is MORVANE_BENCH_DIR, else "bench-work" beside this program; it is
// removed at the end. MORVANE_BENCH_SCALE (a fraction, default 1) shrinks
// both trees for a quick look.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kVolumeName = "Bench";

struct TreeShape {
	const char* name;
	int folders;
	int files;
	int64_t minimumSize;
	int64_t maximumSize;
};

// Bytes that compress about as well as program sources: words drawn from a
// small vocabulary, with some random bytes between them.
class SampleData {
public:
	explicit SampleData(uint64_t seed) : fState(seed | 1) {}

	void Fill(std::string* buffer, size_t length)
	{
		static const char* const kWords[] = {"backup ", "restore ", "volume ", "catalogue ",
			"int32 ", "return ", "status ", "message ", "{\n\t", "}\n", "if (", ") ", "0x",
			"for ", "while ", "const ", "char* ", "entry ", "folder ", "size "};
		buffer->clear();
		buffer->reserve(length);
		while (buffer->size() < length) {
			uint64_t value = _Next();
			if (value % 5 == 0)
				buffer->push_back(char(value >> 8));
			else
				buffer->append(kWords[(value >> 16) % (sizeof(kWords) / sizeof(kWords[0]))]);
		}
		buffer->resize(length);
	}

	uint64_t Next() { return _Next(); }

private:
	uint64_t _Next()
	{
		fState ^= fState << 13;
		fState ^= fState >> 7;
		fState ^= fState << 17;
		return fState;
	}

	uint64_t fState;
};

double Seconds()
{
	return std::chrono::duration<double>(
		std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs a shell command; its output goes to the log file. False on failure.
bool Shell(const std::string& command, const std::string& log)
{
	std::string line = "(" + command + ") >>'" + log + "' 2>&1";
	int status = system(line.c_str());
	if (status != 0) {
		fprintf(stderr, "job-bench: failed (%d): %s\n  see %s\n", status, command.c_str(),
			log.c_str());
		return false;
	}
	return true;
}

// Runs a command and sync; the seconds it took, or a negative value.
double Timed(const std::string& command, const std::string& log)
{
	// What earlier steps left in the page cache is written out first, so
	// that each side pays only for its own data.
	Shell("sync", log);
	double start = Seconds();
	if (!Shell(command + " && sync", log))
		return -1;
	return Seconds() - start;
}

std::string Output(const std::string& command)
{
	std::string result;
	FILE* pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return result;
	char buffer[4096];
	size_t got;
	while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
		result.append(buffer, got);
	pclose(pipe);
	return result;
}

int64_t MakeTree(const fs::path& root, const TreeShape& shape, double scale, int* fileCount)
{
	SampleData data(0x5eed + shape.files);
	std::string buffer;
	int folders = std::max(1, int(shape.folders * scale + 0.5));
	int files = std::max(folders, int(shape.files * scale + 0.5));
	int64_t total = 0;
	for (int i = 0; i < files; i++) {
		fs::path folder = root / ("folder-" + std::to_string(i % folders));
		if (i < folders)
			fs::create_directories(folder);
		int64_t span = shape.maximumSize - shape.minimumSize;
		int64_t size = shape.minimumSize + (span > 0 ? int64_t(data.Next() % (span + 1)) : 0);
		data.Fill(&buffer, size_t(size));
		std::ofstream out(folder / ("file-" + std::to_string(i)), std::ios::binary);
		out.write(buffer.data(), std::streamsize(buffer.size()));
		total += size;
	}
	*fileCount = files;
	return total;
}

struct Runner {
	fs::path work;
	std::string morvane;
	std::string log;

	std::string Morvane(const std::string& arguments) const
	{
		return "'" + morvane + "' " + arguments;
	}

	// The id of the newest backup in the catalogue list.
	std::string NewestBackup() const
	{
		std::string listing = Output(Morvane("backups --json") + " 2>>'" + log + "'");
		std::regex id("\"id\"\\s*:\\s*\"([^\"]+)\"");
		std::string newest;
		for (auto it = std::sregex_iterator(listing.begin(), listing.end(), id);
				it != std::sregex_iterator(); ++it) {
			newest = (*it)[1];
		}
		return newest;
	}
};

constexpr int kRounds = 2;

struct Measure {
	double ours = -1;
	double reference = -1;
};

// Keeps the fastest successful run; a failed one (negative) marks the
// measure failed.
void Keep(double* best, double seconds)
{
	if (seconds < 0 || *best == -2) {
		*best = -2;
		return;
	}
	if (*best < 0 || seconds < *best)
		*best = seconds;
}

void Report(const char* what, const Measure& measure, int files, int64_t bytes, double target,
	const char* reference = "tar")
{
	if (measure.ours < 0 || measure.reference < 0) {
		printf("  %-34s failed\n", what);
		return;
	}
	double ratio = measure.ours / measure.reference;
	printf("  %-34s ours %7.2f s  %s %7.2f s  ratio %5.2f (target <= %g%s)  %8.0f files/s"
		"  %7.1f MB/s\n", what, measure.ours, reference, measure.reference, ratio, target,
		ratio <= target ? "" : ", MISSED", files / measure.ours, bytes / 1048576.0 / measure.ours);
}

// Both sides kRounds times, first and then last in turn; prepare (when
// given) runs untimed before each run of ours.
Measure Alternate(const Runner& runner, const std::string& ours, const std::string& reference,
	const std::string& prepare = "")
{
	Measure measure;
	for (int round = 0; round < kRounds; round++) {
		for (int side = 0; side < 2; side++) {
			bool isOurs = (side + round) % 2 == 1;
			if (isOurs && !prepare.empty() && !Shell(prepare, runner.log)) {
				Keep(&measure.ours, -1);
				continue;
			}
			double seconds = Timed(isOurs ? ours : reference, runner.log);
			Keep(isOurs ? &measure.ours : &measure.reference, seconds);
		}
	}
	return measure;
}

// Compare against tar -d, and insert by scan against one read of the image.
void CompareAndInsert(const Runner& runner, const char* shape, const std::string& backupId,
	const std::string& tarFile, const fs::path& images, int files, int64_t bytes)
{
	// The tree, as tar compares it; the volume's root folder changes as
	// the benchmark goes on.
	std::string tree = std::string("/") + kVolumeName + "/" + shape;
	Measure compare = Alternate(runner, runner.Morvane("compare " + backupId + " " + tree),
		"tar -df '" + tarFile + "' -C '" + runner.work.string() + "'");
	Report("compare, none", compare, files, bytes, 1.2, "tar -d");

	// A damaged catalogue record sends the insert to the file-by-file scan.
	fs::path scanFolder = runner.work / "scan";
	fs::create_directories(scanFolder);
	std::string image = (scanFolder / backupId).string();
	Shell("cp '" + (images / backupId).string() + "' '" + image + "' && truncate -s -100 '"
		+ image + "'", runner.log);
	Measure insert = Alternate(runner,
		runner.Morvane("insert --from '" + scanFolder.string() + "' " + backupId),
		"cat '" + image + "' >/dev/null", runner.Morvane("delete " + backupId));
	Report("insert by scan, none", insert, files, bytes, 1.5, "cat");
	fs::remove_all(scanFolder);
}

bool RunTree(const Runner& runner, const TreeShape& shape, double scale, double target)
{
	fs::path source = runner.work / shape.name;
	int files = 0;
	printf("%s: making the tree...\n", shape.name);
	fflush(stdout);
	int64_t bytes = MakeTree(source, shape, scale, &files);
	printf("%s: %d files, %.1f MiB\n", shape.name, files, bytes / 1048576.0);
	Shell("sync", runner.log);

	fs::path archives = runner.work / "tar";
	fs::path images = runner.work / "images";
	fs::create_directories(archives);
	fs::create_directories(images);
	std::string tarFile = (archives / (std::string(shape.name) + ".tar")).string();
	std::string lz4File = tarFile + ".lz4";
	std::string parent = runner.work.string();

	struct Variant {
		const char* compress;
		std::string tarCreate;
		std::string tarExtract;
	};
	const Variant variants[] = {
		{"none", "tar -cf '" + tarFile + "' -C '" + parent + "' " + shape.name,
			"tar -xf '" + tarFile + "' -C "},
		{"lzrw1", "tar -cf - -C '" + parent + "' " + shape.name + " | lz4 -1 -q -f - '" + lz4File
				+ "'",
			"lz4 -d -q -c '" + lz4File + "' | tar -xf - -C "},
	};
	bool ok = true;
	for (const Variant& variant : variants) {
		std::string backupCommand = runner.Morvane(std::string("backup --compress ")
			+ variant.compress + " --title bench-" + shape.name + " --to '" + images.string()
			+ "' '" + source.string() + "'");
		std::vector<std::string> backupIds;
		Measure backup;
		// Each side runs kRounds times, first and then last in turn; the
		// fastest run counts, as the disk's write-back makes single runs
		// vary by more than the differences measured.
		for (int round = 0; round < kRounds; round++) {
			for (int side = 0; side < 2; side++) {
				bool ours = (side + round) % 2 == 1;
				double seconds = Timed(ours ? backupCommand : variant.tarCreate, runner.log);
				Keep(ours ? &backup.ours : &backup.reference, seconds);
				if (ours)
					backupIds.push_back(runner.NewestBackup());
			}
		}
		std::string label = std::string("backup, ") + variant.compress;
		Report(label.c_str(), backup, files, bytes, target);

		std::string backupId = backupIds.empty() ? "" : backupIds.back();
		Measure restore;
		// Every run restores into a folder of its own: removing a large tree
		// just before a run would make the file system's inode allocation
		// slow for whichever side comes next.
		fs::path targets = runner.work / "restored";
		for (int round = 0; round < kRounds && !backupId.empty(); round++) {
			for (int side = 0; side < 2; side++) {
				bool ours = (side + round) % 2 == 1;
				fs::path target = targets / ((ours ? "ours-" : "tar-") + std::to_string(round));
				fs::create_directories(target);
				double seconds = ours
					? Timed(runner.Morvane("restore " + backupId + " --to '" + target.string()
						+ "'"), runner.log)
					: Timed(variant.tarExtract + "'" + target.string() + "'", runner.log);
				Keep(ours ? &restore.ours : &restore.reference, seconds);
			}
		}
		label = std::string("restore, ") + variant.compress;
		Report(label.c_str(), restore, files, bytes, target);
		ok = ok && backup.ours >= 0 && restore.ours >= 0;
		if (!backupId.empty() && strcmp(variant.compress, "none") == 0)
			CompareAndInsert(runner, shape.name, backupId, tarFile, images, files, bytes);

		fs::remove_all(targets);
		fs::remove_all(archives);
		fs::create_directories(archives);
		for (const std::string& id : backupIds) {
			if (!id.empty())
				Shell(runner.Morvane("delete --data " + id), runner.log);
		}
		// A re-inserted backup names the scan's copy as its place.
		fs::remove_all(images);
		fs::create_directories(images);
	}
	fs::remove_all(source);
	fflush(stdout);
	return ok;
}

// The big tree backed up to and restored from the virtual tape drive against
// the same with a folder of image files.
bool RunTape(const Runner& runner, const TreeShape& shape, double scale, double target)
{
	fs::path source = runner.work / shape.name;
	int files = 0;
	int64_t bytes = MakeTree(source, shape, scale, &files);
	Shell("sync", runner.log);
	fs::path images = runner.work / "images";
	fs::create_directories(images);
	std::string vtape = "'" + (runner.work / "MorvaneBackup" / "vtape").string() + "'";
	std::string size = std::to_string((bytes * 2 * kRounds + (256 << 20)) >> 20) + "M";
	if (!Shell(vtape + " new bench --size " + size + " && " + vtape + " load bench",
			runner.log))
		return false;

	const char* kDrive = "/dev/bus/scsi/9/0/0/raw";
	std::string tapeId, imageId;
	Measure backup;
	for (int round = 0; round < kRounds; round++) {
		for (int side = 0; side < 2; side++) {
			bool tape = (side + round) % 2 == 1;
			std::string destination = tape ? std::string("--tape ") + kDrive
				: "--to '" + images.string() + "'";
			double seconds = Timed(runner.Morvane("backup --compress none --title bench-tape "
				+ destination + " '" + source.string() + "'"), runner.log);
			Keep(tape ? &backup.ours : &backup.reference, seconds);
			(tape ? tapeId : imageId) = runner.NewestBackup();
		}
	}
	Report("tape backup, none", backup, files, bytes, target, "image folder");

	Measure restore;
	fs::path targets = runner.work / "restored";
	for (int round = 0; round < kRounds; round++) {
		for (int side = 0; side < 2; side++) {
			bool tape = (side + round) % 2 == 1;
			fs::path into = targets / ((tape ? "tape-" : "image-") + std::to_string(round));
			fs::create_directories(into);
			double seconds = Timed(runner.Morvane("restore " + (tape ? tapeId : imageId)
				+ " --to '" + into.string() + "'"), runner.log);
			Keep(tape ? &restore.ours : &restore.reference, seconds);
		}
	}
	Report("tape restore, none", restore, files, bytes, target, "image folder");
	fs::remove_all(targets);
	fs::remove_all(images);
	fs::remove_all(source);
	fs::remove_all(runner.work / "tapes");
	return backup.ours >= 0 && restore.ours >= 0;
}

fs::path ProgramFolder()
{
	return fs::read_symlink("/proc/self/exe").parent_path();
}

}	// namespace

int main()
{
	const char* scaleText = getenv("MORVANE_BENCH_SCALE");
	double scale = scaleText != nullptr ? atof(scaleText) : 1.0;
	if (scale <= 0 || scale > 1)
		scale = 1.0;
	const char* workText = getenv("MORVANE_BENCH_DIR");
	fs::path work = workText != nullptr ? fs::path(workText) : ProgramFolder() / "bench-work";
	fs::remove_all(work);
	fs::create_directories(work);
	work = fs::canonical(work);

	Runner runner;
	runner.log = (work.parent_path() / "job-bench.log").string();
	fs::remove(runner.log);
	fs::path installed = work / "MorvaneBackup";
	if (!Shell("cp -a '" MORVANE_DIST_DIR "' '" + installed.string() + "'", runner.log))
		return 1;
	runner.work = work;
	runner.morvane = (installed / "morvane").string();

	std::string volumes = std::string(kVolumeName) + "=" + work.string();
	setenv("MORVANE_VOLUMES", volumes.c_str(), 1);
	fs::path runtime = work / "runtime";
	fs::create_directories(runtime);
	fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
	setenv("MORVANE_RUNTIME_DIR", runtime.string().c_str(), 1);
	setenv("MORVANE_VTAPE_DIR", (work / "tapes").string().c_str(), 1);

	// The server starts once, before anything is timed, and stays up.
	if (!Shell("'" + (installed / "Backup_Server" / "MorvaneServer").string()
			+ "' --daemon </dev/null >/dev/null 2>&1 &", runner.log)
		|| !Shell(runner.Morvane("jobs"), runner.log)) {
		return 1;
	}

	printf("Backup, restore, compare and insert through morvane against tar and cat "
		"(scale %.3f), "
		"each followed by sync:\n", scale);
	const TreeShape big = {"big", 1, 64, 16 << 20, 16 << 20};
	const TreeShape small = {"small", 1000, 100000, 1024, 8192};
	bool ok = RunTree(runner, big, scale, 1.2);
	ok = RunTree(runner, small, scale, 2.0) && ok;
	// Throughput at least 0.8 of the image folder's: time ratio 1.25.
	ok = RunTape(runner, big, scale, 1.25) && ok;

	Shell("pkill -TERM -f '^" + (installed / "Backup_Server" / "MorvaneServer").string() + "'"
		+ " || true", runner.log);
	Output("sleep 1");
	fs::remove_all(work);
	return ok ? 0 : 1;
}
