// Builds a catalogue-sized message the way a backup does (a million entries
// appended to parallel arrays), flattens it and reads it back. Each figure is
// set against a reference done in the same run: plain std::vector appends of
// the same values, and a memcpy of the same number of bytes.

#include <app/Message.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int32 kEntries = 1000000;
constexpr int kRounds = 3;

std::string EntryPath(int32 index)
{
	char path[96];
	snprintf(path, sizeof(path), "/Morvane HD/home/user/projects/src%03d/file-%07d.cpp",
		index / 1000, index);
	return path;
}

// The best of a few rounds, in milliseconds.
double Best(const std::function<void()>& work)
{
	double best = 1e300;
	for (int round = 0; round < kRounds; round++) {
		auto start = std::chrono::steady_clock::now();
		work();
		std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
		best = std::min(best, took.count());
	}
	return best;
}

void BuildCatalogue(BMessage* catalogue, const std::vector<std::string>& paths)
{
	catalogue->MakeEmpty();
	for (int32 i = 0; i < kEntries; i++) {
		catalogue->AddString("MV_LOGNAME", paths[size_t(i)]);
		catalogue->AddInt32("MV_LOGTYP", i % 10 == 0 ? 1 : 0);
		catalogue->AddInt64("MV_LOGREALSIZE", int64(i) * 37);
		catalogue->AddInt32("MV_LOGLEVEL", 3 + i % 4);
		catalogue->AddInt32("MV_LOGMEDIANR", 1);
		catalogue->AddInt64("MV_LOGOFFSET", 220 + int64(i) * 4096);
		catalogue->AddTime("MV_LOGMODIFIED", 1700000000 + i);
		catalogue->AddInt32("aktfilenr", i);
	}
}

struct PlainCatalogue {
	std::vector<std::string> names;
	std::vector<int32> types, levels, media, numbers, modified;
	std::vector<int64> sizes, offsets;
};

void BuildPlain(PlainCatalogue* plain, const std::vector<std::string>& paths)
{
	*plain = PlainCatalogue();
	for (int32 i = 0; i < kEntries; i++) {
		plain->names.push_back(paths[size_t(i)]);
		plain->types.push_back(i % 10 == 0 ? 1 : 0);
		plain->sizes.push_back(int64(i) * 37);
		plain->levels.push_back(3 + i % 4);
		plain->media.push_back(1);
		plain->offsets.push_back(220 + int64(i) * 4096);
		plain->modified.push_back(1700000000 + i);
		plain->numbers.push_back(i);
	}
}

void Report(const char* what, double milliseconds, double reference, const char* referenceName)
{
	printf("%-10s %9.1f ms   %-28s %9.1f ms   ratio %6.2f\n", what, milliseconds,
		referenceName, reference, milliseconds / reference);
}

}	// namespace

int main()
{
	std::vector<std::string> paths;
	paths.reserve(kEntries);
	for (int32 i = 0; i < kEntries; i++)
		paths.push_back(EntryPath(i));

	BMessage catalogue('LOGD');
	PlainCatalogue plain;
	double append = Best([&] { BuildCatalogue(&catalogue, paths); });
	double appendReference = Best([&] { BuildPlain(&plain, paths); });

	std::vector<char> flat;
	double flatten = Best([&] {
		if (catalogue.Flatten(&flat) != B_OK)
			abort();
	});
	std::vector<char> copy(flat.size());
	double copyTime = Best([&] { memcpy(copy.data(), flat.data(), flat.size()); });
	if (copy != flat)
		return 1;

	BMessage readBack;
	double unflatten = Best([&] {
		if (readBack.Unflatten(flat.data(), flat.size()) != B_OK)
			abort();
	});
	int32 count = 0;
	type_code type;
	if (readBack.GetInfo("MV_LOGNAME", &type, &count) != B_OK || count != kEntries
		|| strcmp(readBack.GetString("MV_LOGNAME", kEntries - 1, ""), paths.back().c_str()) != 0) {
		fprintf(stderr, "the catalogue did not read back\n");
		return 1;
	}

	printf("message-bench: %d catalogue entries in 8 parallel arrays, best of %d rounds\n",
		kEntries, kRounds);
	Report("append", append, appendReference, "std::vector appends");
	Report("flatten", flatten, copyTime, "memcpy of the bytes");
	Report("unflatten", unflatten, copyTime, "memcpy of the bytes");
	printf("flattened  %zu bytes, %.1f bytes per entry (the path alone: %zu bytes)\n",
		flat.size(), double(flat.size()) / kEntries, paths[kEntries / 2].size() + 1);
	return 0;
}
