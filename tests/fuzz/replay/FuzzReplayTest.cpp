// Replays a fuzz target's seed corpus: the fuzz entry must survive every
// file, and the reader must accept the valid-* and refuse the broken-* ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzReplay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

TEST(FuzzReplayTest, SeedCorpus)
{
	int valid = 0;
	int broken = 0;
	for (const auto& entry : fs::directory_iterator(MORVANE_FUZZ_CORPUS)) {
		std::ifstream in(entry.path(), std::ios::binary);
		std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
			std::istreambuf_iterator<char>());
		std::string name = entry.path().filename().string();
		LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
		bool accepted = ReaderAccepts(bytes.data(), bytes.size());
		if (name.rfind("valid-", 0) == 0) {
			EXPECT_TRUE(accepted) << name;
			valid++;
		} else if (name.rfind("broken-", 0) == 0) {
			EXPECT_FALSE(accepted) << name;
			broken++;
		}
	}
	EXPECT_GT(valid, 0);
	EXPECT_GT(broken, 0);
}
