// Builds the backup list of a tree of 100,000 files and walks it, as a
// backup does before it writes anything. The reference, measured in the same
// run on the same tree, is a plain recursive readdir+lstat walk that keeps
// each entry's full path, size and time in a vector. Each side runs in a
// child process of its own, so that its peak memory is its own.
//
// Figures: build time, the heap the finished tree holds and the peak
// resident growth, per entry; the time of a full pre-order walk with the
// entry_ref of every entry; and the time of 10,000 selection lines naming
// files of one 10,000-entry folder.

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <app/Message.h>
#include <storage/VolumeTable.h>

#include "MVBackupList.h"

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 10;
constexpr int kFilesPerFolder = 1000;
constexpr int kWideFiles = 10000;

struct Figures {
	double milliseconds = 0;
	double heapBytes = 0;
	double peakBytes = 0;
	double entries = 0;
	double walkMilliseconds = 0;
};

double Now()
{
	return std::chrono::duration<double, std::milli>(
		std::chrono::steady_clock::now().time_since_epoch()).count();
}

long PeakKiB()
{
	struct rusage usage;
	getrusage(RUSAGE_SELF, &usage);
	return usage.ru_maxrss;
}

// Runs work in a child process and returns the figures it reports.
Figures InChild(const std::function<Figures()>& work)
{
	int pipeEnds[2];
	if (pipe(pipeEnds) != 0)
		exit(1);
	pid_t child = fork();
	if (child == 0) {
		close(pipeEnds[0]);
		Figures figures = work();
		ssize_t written = write(pipeEnds[1], &figures, sizeof(figures));
		_exit(written == sizeof(figures) ? 0 : 1);
	}
	close(pipeEnds[1]);
	Figures figures;
	ssize_t got = read(pipeEnds[0], &figures, sizeof(figures));
	close(pipeEnds[0]);
	int status = 0;
	waitpid(child, &status, 0);
	if (got != sizeof(figures) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
		fprintf(stderr, "a measurement failed\n");
		exit(1);
	}
	return figures;
}

void WriteEmptyFile(const std::string& path)
{
	int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
	if (fd < 0) {
		perror(path.c_str());
		exit(1);
	}
	close(fd);
}

void MakeTree(const std::string& root)
{
	char name[64];
	for (int top = 0; top < kTopFolders; top++) {
		std::string topPath = root + "/tree/project-" + std::to_string(top);
		std::filesystem::create_directories(topPath);
		for (int sub = 0; sub < kSubFolders; sub++) {
			std::string subPath = topPath + "/sources-" + std::to_string(sub);
			std::filesystem::create_directories(subPath);
			for (int file = 0; file < kFilesPerFolder; file++) {
				snprintf(name, sizeof(name), "/file-%06d.cpp", file);
				WriteEmptyFile(subPath + name);
			}
		}
	}
	std::filesystem::create_directories(root + "/wide");
	for (int file = 0; file < kWideFiles; file++) {
		snprintf(name, sizeof(name), "/wide-entry-%06d", file);
		WriteEmptyFile(root + "/wide" + name);
	}
}

struct PlainEntry {
	std::string path;
	int64 size;
	int32 time;
	int32 level;
};

void PlainWalk(const std::string& native, int32 level, std::vector<PlainEntry>* entries)
{
	DIR* directory = opendir(native.c_str());
	if (directory == nullptr)
		return;
	while (struct dirent* child = readdir(directory)) {
		if (strcmp(child->d_name, ".") == 0 || strcmp(child->d_name, "..") == 0)
			continue;
		std::string path = native + "/" + child->d_name;
		struct stat status;
		if (lstat(path.c_str(), &status) != 0)
			continue;
		entries->push_back({path, status.st_size, int32(status.st_mtime), level});
		if (S_ISDIR(status.st_mode))
			PlainWalk(path, level + 1, entries);
	}
	closedir(directory);
}

Figures MeasurePlain(const std::string& root)
{
	long peakBefore = PeakKiB();
	size_t heapBefore = mallinfo2().uordblks;
	double start = Now();
	std::vector<PlainEntry> entries;
	PlainWalk(root + "/tree", 1, &entries);
	Figures figures;
	figures.milliseconds = Now() - start;
	figures.heapBytes = double(mallinfo2().uordblks - heapBefore);
	figures.peakBytes = double(PeakKiB() - peakBefore) * 1024;
	figures.entries = double(entries.size());
	start = Now();
	size_t characters = 0;
	for (const PlainEntry& entry : entries)
		characters += entry.path.size() + size_t(entry.level);
	figures.walkMilliseconds = Now() - start;
	if (characters == 0)
		exit(1);
	return figures;
}

Figures MeasureList()
{
	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /boot/tree/*");
	long peakBefore = PeakKiB();
	size_t heapBefore = mallinfo2().uordblks;
	double start = Now();
	MVBackupList list;
	list.SetTo(&selection);
	Figures figures;
	figures.milliseconds = Now() - start;
	figures.heapBytes = double(mallinfo2().uordblks - heapBefore);
	figures.peakBytes = double(PeakKiB() - peakBefore) * 1024;
	figures.entries = list.CountItems();
	start = Now();
	size_t characters = 0;
	for (const entry_ref* ref = list.FindFirst(); ref != nullptr; ref = list.FindNext())
		characters += ref->path.size() + size_t(list.OutlineLevel());
	figures.walkMilliseconds = Now() - start;
	if (characters == 0)
		exit(1);
	return figures;
}

double MeasureWideLines()
{
	BMessage selection;
	char line[64];
	for (int file = kWideFiles - 1; file >= 0; file--) {
		snprintf(line, sizeof(line), "INCLUDE /boot/wide/wide-entry-%06d", file);
		selection.AddString("SELECTION", line);
	}
	double start = Now();
	MVBackupList list;
	list.SetTo(&selection);
	double took = Now() - start;
	if (list.CountItems() != kWideFiles + 2)
		exit(1);
	return took;
}

double MeasurePlainStats(const std::string& root)
{
	char path[256];
	double start = Now();
	for (int file = kWideFiles - 1; file >= 0; file--) {
		snprintf(path, sizeof(path), "%s/wide/wide-entry-%06d", root.c_str(), file);
		struct stat status;
		if (lstat(path, &status) != 0)
			exit(1);
	}
	return Now() - start;
}

}	// namespace


int main()
{
	char pattern[] = "/tmp/morvane-selection-bench-XXXXXX";
	if (mkdtemp(pattern) == nullptr)
		return 1;
	std::string root = pattern;
	MakeTree(root);
	setenv("MORVANE_VOLUMES", ("Bench HD=" + root).c_str(), 1);
	if (VolumeTable::Reload() != B_OK)
		return 1;

	// A first walk each way warms the caches for both sides alike.
	(void)InChild([&] { return MeasurePlain(root); });
	Figures plain = InChild([&] { return MeasurePlain(root); });
	Figures list = InChild(MeasureList);
	double wide = InChild([] {
		Figures figures;
		figures.milliseconds = MeasureWideLines();
		return figures;
	}).milliseconds;
	double wideStats = InChild([&] {
		Figures figures;
		figures.milliseconds = MeasurePlainStats(root);
		return figures;
	}).milliseconds;

	printf("selection of %.0f entries"
		" (reference: readdir+lstat walk into a vector, %.0f entries)\n",
		list.entries, plain.entries);
	printf("  build:       %8.1f ms  %6.2f us/entry   reference %8.1f ms  ratio %.2f\n",
		list.milliseconds, list.milliseconds * 1000 / list.entries, plain.milliseconds,
		list.milliseconds / plain.milliseconds);
	printf("  heap held:   %8.1f B/entry               reference %8.1f B/entry  ratio %.2f\n",
		list.heapBytes / list.entries, plain.heapBytes / plain.entries,
		list.heapBytes / plain.heapBytes);
	printf("  peak growth: %8.1f B/entry               reference %8.1f B/entry  ratio %.2f\n",
		list.peakBytes / list.entries, plain.peakBytes / plain.entries,
		plain.peakBytes > 0 ? list.peakBytes / plain.peakBytes : 0.0);
	printf("  walk:        %8.1f ms  (ref and level of every entry;"
		" reference %.1f ms over its vector)\n", list.walkMilliseconds, plain.walkMilliseconds);
	printf("  %d lines naming files of one %d-entry folder: %.1f ms"
		" (reference: %d lstat calls, %.1f ms)  ratio %.2f\n",
		kWideFiles, kWideFiles, wide, kWideFiles, wideStats, wide / wideStats);

	std::error_code error;
	std::filesystem::remove_all(root, error);
	return 0;
}
