// Backs up and restores three trees through a real server and the morvane
// program, against the tools a user would pick instead, on the same trees
// and the same disk, in one run:
//
//   text   1 GiB in 64 files of text-like data
//   mixed  1 GiB in 64 files, every other one random bytes
//   small  100,000 files of 1 to 8 KiB in 1,000 folders
//
// Uncompressed backups run against `tar -cf`, restic (compression off) and
// borg (compression none); LZRW1 backups against `tar -c | lz4 -1` and borg
// with lz4. Restores run against `tar -xf` (through `lz4 -d` for the
// compressed backup), `restic restore` and `borg extract`. restic and borg
// take part when they are installed; each of their backups goes to a new
// repository. The uncompressed backups of the text and small trees are
// then compared with the tree against `tar -d`, and read back into the
// catalogue by the file-by-file scan (the image copied with the end of its
// catalogue record cut off) against reading that image once with cat.
//
// Every side runs twice, the order turned round the second time, and its
// fastest run counts. The page cache is written out before every timed
// command, and every timed command ends with sync(1), so that data still
// in the page cache counts. The table (Markdown) gives the seconds and the
// ratio of ours to tar's.
//
// Last, the text tree goes to the virtual tape drive and back against the
// same to a folder of image files (uncompressed, both through morvane): the
// tape's ratio to the image folder.
//
// The work folder is MORVANE_BENCH_DIR, else "bench-work" beside this
// program; it is removed at the end. MORVANE_BENCH_SCALE (a fraction,
// default 1) shrinks the trees for a quick look, and MORVANE_BENCH_PARTS
// ("text,mixed,small,tape") runs only the parts it names.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kVolumeName = "Bench";


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

	// Bytes no compressor can shrink.
	void FillRandom(std::string* buffer, size_t length)
	{
		buffer->resize(length);
		for (size_t i = 0; i < length; i += 8) {
			uint64_t value = _Next();
			memcpy(buffer->data() + i, &value, std::min<size_t>(8, length - i));
		}
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


struct Runner {
	fs::path work;
	std::string morvane;
	std::string log;
	bool restic = false;
	bool borg = false;

	std::string Morvane(const std::string& arguments) const
	{
		return "'" + morvane + "' " + arguments;
	}

	// The id of the newest backup in the catalogue list.
	std::string NewestBackup() const
	{
		std::vector<std::string> ids = Backups();
		return ids.empty() ? std::string() : ids.back();
	}

	std::vector<std::string> Backups() const
	{
		std::string listing = Output(Morvane("backups --json") + " 2>>'" + log + "'");
		std::regex id("\"id\"\\s*:\\s*\"([^\"]+)\"");
		std::vector<std::string> ids;
		for (auto it = std::sregex_iterator(listing.begin(), listing.end(), id);
				it != std::sregex_iterator(); ++it) {
			ids.push_back((*it)[1]);
		}
		return ids;
	}

	void DeleteBackups() const
	{
		for (const std::string& id : Backups())
			Shell(Morvane("delete --data " + id), log);
	}
};

constexpr int kRounds = 2;

// One contender of a row: its timed command and what runs untimed before
// it, both for the given round.
struct Side {
	std::string name;
	std::function<std::string(int round)> command;
	std::function<std::string(int round)> prepare;
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

// Every side kRounds times, in turn forwards and backwards; the fastest
// run of each.
std::vector<double> MeasureRow(const Runner& runner, const std::vector<Side>& sides)
{
	std::vector<double> best(sides.size(), -1);
	for (int round = 0; round < kRounds; round++) {
		for (size_t step = 0; step < sides.size(); step++) {
			size_t index = round % 2 == 0 ? step : sides.size() - 1 - step;
			const Side& side = sides[index];
			if (side.prepare && !Shell(side.prepare(round), runner.log)) {
				Keep(&best[index], -1);
				continue;
			}
			Keep(&best[index], Timed(side.command(round), runner.log));
		}
	}
	return best;
}

// The columns of the table: ours, then the peers.
const char* const kColumns[] = {"Morvane", "tar", "restic", "borg"};
constexpr size_t kColumnCount = sizeof(kColumns) / sizeof(kColumns[0]);

void PrintTableHead()
{
	printf("\n| job |");
	for (const char* column : kColumns)
		printf(" %s |", column);
	printf(" ratio to tar | target |\n|---|");
	for (size_t i = 0; i < kColumnCount; i++)
		printf("---|");
	printf("---|---|\n");
	fflush(stdout);
}

// A row of the table; the sides' names say their columns. False when ours
// or tar's failed.
bool PrintRow(const std::string& job, const std::vector<Side>& sides,
	const std::vector<double>& seconds, double target)
{
	double column[kColumnCount];
	for (double& value : column)
		value = -1;
	for (size_t i = 0; i < sides.size(); i++) {
		for (size_t c = 0; c < kColumnCount; c++) {
			if (sides[i].name == kColumns[c])
				column[c] = seconds[i];
		}
	}
	printf("| %s |", job.c_str());
	for (double value : column) {
		if (value == -1)
			printf(" - |");
		else if (value < 0)
			printf(" failed |");
		else
			printf(" %.2f s |", value);
	}
	if (column[0] < 0 || column[1] < 0) {
		printf(" - | <= %g, FAILED |\n", target);
		fflush(stdout);
		return false;
	}
	double ratio = column[0] / column[1];
	printf(" %.2f | <= %g%s |\n", ratio, target, ratio <= target ? "" : ", MISSED");
	fflush(stdout);
	return true;
}

// One-line results against a single reference (compare, insert, tape),
// printed after the table.
std::vector<std::string> sLines;

void Report(const std::string& what, const std::vector<double>& seconds, int files,
	int64_t bytes, double target, const char* reference)
{
	char line[512];
	if (seconds.size() < 2 || seconds[0] < 0 || seconds[1] < 0) {
		snprintf(line, sizeof(line), "  %-40s failed", what.c_str());
	} else {
		double ratio = seconds[0] / seconds[1];
		snprintf(line, sizeof(line), "  %-40s ours %7.2f s  %s %7.2f s  ratio %5.2f (target <= %g%s)"
			"  %8.0f files/s  %7.1f MB/s", what.c_str(), seconds[0], reference, seconds[1],
			ratio, target, ratio <= target ? "" : ", MISSED", files / seconds[0],
			bytes / 1048576.0 / seconds[0]);
	}
	sLines.push_back(line);
}

void PrintReports()
{
	printf("\n");
	for (const std::string& line : sLines)
		printf("%s\n", line.c_str());
	sLines.clear();
	fflush(stdout);
}

std::string Quote(const fs::path& path)
{
	return "'" + path.string() + "'";
}

Side Fixed(const std::string& name, const std::string& command,
	const std::string& prepare = "")
{
	Side side{name, [command](int) { return command; }, nullptr};
	if (!prepare.empty())
		side.prepare = [prepare](int) { return prepare; };
	return side;
}

struct Targets {
	double backup;
	double compressedBackup;
	double restore;
};

struct TreeShape {
	const char* name;
	const char* label;
	int folders;
	int files;
	int64_t minimumSize;
	int64_t maximumSize;
	bool halfRandom;
	Targets targets;
};

// Compare against tar -d, and insert by scan against one read of the image.
void CompareAndInsert(const Runner& runner, const TreeShape& shape, const std::string& backupId,
	const std::string& tarFile, const fs::path& images, int files, int64_t bytes)
{
	// The tree, as tar compares it; the volume's root folder changes as
	// the benchmark goes on.
	std::string tree = std::string("/") + kVolumeName + "/" + shape.name;
	std::vector<double> compare = MeasureRow(runner, {
		Fixed("ours", runner.Morvane("compare " + backupId + " " + tree)),
		Fixed("tar -d", "tar -df '" + tarFile + "' -C " + Quote(runner.work))});
	Report(std::string(shape.label) + " compare, none", compare, files, bytes, 1.2, "tar -d");

	// A damaged catalogue record sends the insert to the file-by-file scan.
	fs::path scanFolder = runner.work / "scan";
	fs::create_directories(scanFolder);
	std::string image = (scanFolder / backupId).string();
	Shell("cp '" + (images / backupId).string() + "' '" + image + "' && truncate -s -100 '"
		+ image + "'", runner.log);
	std::vector<double> insert = MeasureRow(runner, {
		Fixed("ours", runner.Morvane("insert --from " + Quote(scanFolder) + " " + backupId),
			runner.Morvane("delete " + backupId)),
		Fixed("cat", "cat '" + image + "' >/dev/null")});
	Report(std::string(shape.label) + " insert by scan, none", insert, files, bytes, 1.5, "cat");
	fs::remove_all(scanFolder);
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
		if (shape.halfRandom && i % 2 == 1)
			data.FillRandom(&buffer, size_t(size));
		else
			data.Fill(&buffer, size_t(size));
		std::ofstream out(folder / ("file-" + std::to_string(i)), std::ios::binary);
		out.write(buffer.data(), std::streamsize(buffer.size()));
		total += size;
	}
	*fileCount = files;
	return total;
}

// The commands of the peers for one tree.
class PeerCommands {
public:
	PeerCommands(const Runner& runner, const fs::path& source)
		:
		fSource(source),
		fRepositories(runner.work / "repositories")
	{
	}

	// restic keeps data uncompressed with --compression off; borg takes
	// "none" or "lz4".
	Side ResticBackup() const
	{
		fs::path repository = fRepositories / "restic";
		return Fixed("restic", "restic -q -r " + Quote(repository)
				+ " backup --compression off " + Quote(fSource),
			"rm -rf " + Quote(repository) + " && restic -q -r " + Quote(repository)
				+ " init --repository-version 2");
	}

	Side BorgBackup(const char* compression) const
	{
		fs::path repository = fRepositories / (std::string("borg-") + compression);
		return Fixed("borg", "borg create --compression " + std::string(compression) + " "
				+ Quote(repository) + "::bench " + Quote(fSource),
			"rm -rf " + Quote(repository) + " && borg init -e none " + Quote(repository));
	}

	Side ResticRestore(const fs::path& targets) const
	{
		fs::path repository = fRepositories / "restic";
		return Side{"restic", [repository, targets](int round) {
				return "restic -q -r " + Quote(repository) + " restore latest --target "
					+ Quote(targets / ("restic-" + std::to_string(round)));
			}, nullptr};
	}

	Side BorgRestore(const char* compression, const fs::path& targets) const
	{
		fs::path repository = fRepositories / (std::string("borg-") + compression);
		return Side{"borg", [repository, targets](int round) {
				fs::path target = targets / ("borg-" + std::to_string(round));
				return "mkdir -p " + Quote(target) + " && cd " + Quote(target)
					+ " && borg extract " + Quote(repository) + "::bench";
			}, nullptr};
	}

private:
	fs::path fSource;
	fs::path fRepositories;
};

bool RunTree(const Runner& runner, const TreeShape& shape, double scale)
{
	fs::path source = runner.work / shape.name;
	int files = 0;
	int64_t bytes = MakeTree(source, shape, scale, &files);
	Shell("sync", runner.log);

	fs::path archives = runner.work / "tar";
	fs::path images = runner.work / "images";
	fs::path targets = runner.work / "restored";
	fs::create_directories(archives);
	fs::create_directories(images);
	fs::create_directories(runner.work / "repositories");
	std::string tarFile = (archives / (std::string(shape.name) + ".tar")).string();
	std::string lz4File = tarFile + ".lz4";
	std::string parent = runner.work.string();
	PeerCommands peers(runner, source);

	struct Variant {
		const char* compress;
		const char* borgCompression;
		std::string tarCreate;
		std::string tarExtract;
	};
	const Variant variants[] = {
		{"none", "none", "tar -cf '" + tarFile + "' -C '" + parent + "' " + shape.name,
			"tar -xf '" + tarFile + "' -C "},
		{"lzrw1", "lz4", "tar -cf - -C '" + parent + "' " + shape.name + " | lz4 -1 -q -f - '"
				+ lz4File + "'",
			"lz4 -d -q -c '" + lz4File + "' | tar -xf - -C "},
	};
	bool ok = true;
	for (const Variant& variant : variants) {
		bool none = strcmp(variant.compress, "none") == 0;
		std::vector<Side> backup = {
			Fixed("Morvane", runner.Morvane(std::string("backup --compress ") + variant.compress
				+ " --title bench-" + shape.name + " --to " + Quote(images) + " "
				+ Quote(source))),
			Fixed("tar", variant.tarCreate)};
		if (runner.restic && none)
			backup.push_back(peers.ResticBackup());
		if (runner.borg)
			backup.push_back(peers.BorgBackup(variant.borgCompression));
		std::string job = std::string(shape.label) + " backup, "
			+ (none ? "none" : "LZRW1 vs tar -c \\| lz4 -1");
		ok = PrintRow(job, backup, MeasureRow(runner, backup),
			none ? shape.targets.backup : shape.targets.compressedBackup) && ok;

		std::string backupId = runner.NewestBackup();
		std::vector<Side> restore = {
			Side{"Morvane", [&runner, backupId, targets](int round) {
					return runner.Morvane("restore " + backupId + " --to "
						+ Quote(targets / ("ours-" + std::to_string(round))));
				}, [targets](int round) {
					return "mkdir -p " + Quote(targets / ("ours-" + std::to_string(round)));
				}},
			Side{"tar", [variant, targets](int round) {
					return variant.tarExtract + Quote(targets / ("tar-" + std::to_string(round)));
				}, [targets](int round) {
					return "mkdir -p " + Quote(targets / ("tar-" + std::to_string(round)));
				}}};
		if (runner.restic && none)
			restore.push_back(peers.ResticRestore(targets));
		if (runner.borg)
			restore.push_back(peers.BorgRestore(variant.borgCompression, targets));
		// Every run restores into a folder of its own: removing a large tree
		// just before a run would make the file system's inode allocation
		// slow for whichever side comes next.
		job = std::string(shape.label) + " restore, "
			+ (none ? "none" : "LZRW1 vs lz4 -d \\| tar -x");
		ok = PrintRow(job, restore, MeasureRow(runner, restore), shape.targets.restore) && ok;

		if (none && !shape.halfRandom)
			CompareAndInsert(runner, shape, backupId, tarFile, images, files, bytes);
		fs::remove_all(targets);
		fs::remove_all(archives);
		fs::create_directories(archives);
		runner.DeleteBackups();
		// A re-inserted backup names the scan's copy as its place.
		fs::remove_all(images);
		fs::create_directories(images);
	}
	fs::remove_all(runner.work / "repositories");
	fs::remove_all(source);
	return ok;
}

// The text tree backed up to and restored from the virtual tape drive
// against the same with a folder of image files.
bool RunTape(const Runner& runner, const TreeShape& shape, double scale, double target)
{
	fs::path source = runner.work / shape.name;
	int files = 0;
	int64_t bytes = MakeTree(source, shape, scale, &files);
	Shell("sync", runner.log);
	fs::path images = runner.work / "images";
	fs::create_directories(images);
	std::string vtape = Quote(runner.work / "MorvaneBackup" / "vtape");
	std::string size = std::to_string((bytes * 2 * kRounds + (256 << 20)) >> 20) + "M";
	if (!Shell(vtape + " new bench --size " + size + " && " + vtape + " load bench",
			runner.log))
		return false;

	std::string backup = "backup --compress none --title bench-tape " + Quote(source) + " ";
	std::vector<Side> backups = {
		Fixed("tape", runner.Morvane(backup + "--tape /dev/bus/scsi/9/0/0/raw")),
		Fixed("image folder", runner.Morvane(backup + "--to " + Quote(images)))};
	std::vector<double> backupSeconds = MeasureRow(runner, backups);
	Report("1 GiB text to tape, backup, none", backupSeconds, files, bytes, target, "image folder");

	// The newest backup of each kind.
	std::string listing = Output(runner.Morvane("backups --json"));
	std::regex entry("\"id\"\\s*:\\s*\"([^\"]+)\"[^}]*\"destination\"\\s*:\\s*\"([^\"]+)\"");
	std::string tapeId, imageId;
	for (auto it = std::sregex_iterator(listing.begin(), listing.end(), entry);
			it != std::sregex_iterator(); ++it) {
		((*it)[2] == "MVSCSIStreamer" ? tapeId : imageId) = (*it)[1];
	}
	fs::path targets = runner.work / "restored";
	auto restore = [&runner, targets](const std::string& name, const std::string& id) {
		return Side{name, [&runner, targets, name, id](int round) {
				return runner.Morvane("restore " + id + " --to "
					+ Quote(targets / (name + std::to_string(round))));
			}, [targets, name](int round) {
				return "mkdir -p " + Quote(targets / (name + std::to_string(round)));
			}};
	};
	std::vector<double> restoreSeconds = MeasureRow(runner,
		{restore("tape", tapeId), restore("image", imageId)});
	Report("1 GiB text from tape, restore, none", restoreSeconds, files, bytes, target, "image folder");
	fs::remove_all(targets);
	fs::remove_all(images);
	fs::remove_all(source);
	runner.DeleteBackups();
	fs::remove_all(runner.work / "tapes");
	return backupSeconds[0] >= 0 && restoreSeconds[0] >= 0;
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

	runner.restic = Shell("command -v restic", runner.log);
	runner.borg = Shell("command -v borg", runner.log);
	// The peers keep their caches and settings in the work folder.
	setenv("RESTIC_PASSWORD", "bench", 1);
	setenv("RESTIC_CACHE_DIR", (work / "cache" / "restic").string().c_str(), 1);
	setenv("BORG_BASE_DIR", (work / "cache" / "borg").string().c_str(), 1);
	setenv("BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK", "yes", 1);
	setenv("BORG_RELOCATED_REPO_ACCESS_IS_OK", "yes", 1);

	printf("Backup and restore through morvane against tar%s%s (scale %.3f); every command "
		"after the page cache was written out, and followed by sync; best of %d, order "
		"turned each round.\n", runner.restic ? ", restic" : "", runner.borg ? ", borg" : "",
		scale, kRounds);
	// Targets are ratios to tar: backup, compressed backup, restore.
	const TreeShape text = {"text", "1 GiB text", 1, 64, 16 << 20, 16 << 20, false,
		{1.2, 1.0, 1.2}};
	const TreeShape mixed = {"mixed", "1 GiB half random", 1, 64, 16 << 20, 16 << 20, true,
		{1.2, 1.0, 1.2}};
	const TreeShape small = {"small", "100k files", 1000, 100000, 1024, 8192, false,
		{1.5, 1.5, 1.2}};
	// MORVANE_BENCH_PARTS ("text,mixed,small,tape") picks parts for a
	// quick look; all of them run by default.
	const char* partsText = getenv("MORVANE_BENCH_PARTS");
	std::string parts = partsText != nullptr ? std::string(",") + partsText + "," : "";
	auto wanted = [&parts](const char* part) {
		return parts.empty() || parts.find(std::string(",") + part + ",") != std::string::npos;
	};
	PrintTableHead();
	bool ok = true;
	for (const TreeShape* shape : {&text, &mixed, &small}) {
		if (wanted(shape->name))
			ok = RunTree(runner, *shape, scale) && ok;
	}
	// Throughput at least 0.8 of the image folder's: time ratio 1.25.
	if (wanted("tape"))
		ok = RunTape(runner, text, scale, 1.25) && ok;
	PrintReports();

	Shell("pkill -TERM -f '^" + (installed / "Backup_Server" / "MorvaneServer").string() + "'"
		+ " || true", runner.log);
	Output("sleep 1");
	fs::remove_all(work);
	return ok ? 0 : 1;
}
