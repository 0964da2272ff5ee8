// Records gathered on their way to the destination: nothing is lost or
// reordered, and a destination that refuses bytes is never taken for one
// that took them.

#include <gtest/gtest.h>

#include <string>

#include "BackupOutput.h"
#include "MVVolume.h"

namespace {

// Takes writes until it holds capacity bytes, then refuses them whole.
class LimitedVolume : public MVVolume {
public:
	explicit LimitedVolume(size_t capacity) : fCapacity(capacity) {}

	int64 Write(const void* buffer, int64 length) override
	{
		fWrites++;
		if (fData.size() + size_t(length) > fCapacity)
			return B_DEVICE_FULL;
		fData.append(static_cast<const char*>(buffer), size_t(length));
		return length;
	}

	std::string fData;
	int32 fWrites = 0;

private:
	size_t fCapacity;
};

std::string Record(char fill, size_t length)
{
	return std::string(length, fill);
}

}	// namespace

TEST(BackupOutputTest, GathersSmallRecordsInOrderAndPassesLargeOnesThrough)
{
	LimitedVolume volume(64 * 1024 * 1024);
	BackupOutput output;
	output.SetVolume(&volume);
	std::string expected;
	for (int i = 0; i < 1000; i++) {
		std::string record = Record(char('a' + i % 26), 100 + size_t(i));
		ASSERT_EQ(output.Write(record.data(), int64(record.size())), int64(record.size()));
		expected += record;
	}
	// Small records wait for a full buffer; none has reached the volume.
	EXPECT_EQ(volume.fWrites, 0);
	std::string large = Record('L', BackupOutput::kBufferSize + 1);
	ASSERT_EQ(output.Write(large.data(), int64(large.size())), int64(large.size()));
	expected += large;
	ASSERT_TRUE(output.Flush());
	EXPECT_EQ(volume.fData, expected);
	EXPECT_EQ(output.Pending(), 0u);
	// A flush with nothing pending writes nothing.
	int32 writes = volume.fWrites;
	EXPECT_TRUE(output.Flush());
	EXPECT_EQ(volume.fWrites, writes);
}

TEST(BackupOutputTest, RefusedBytesAreReported)
{
	LimitedVolume volume(1000);
	BackupOutput output;
	output.SetVolume(&volume);
	std::string record = Record('r', 600);
	ASSERT_EQ(output.Write(record.data(), int64(record.size())), int64(record.size()));
	ASSERT_EQ(output.Write(record.data(), int64(record.size())), int64(record.size()));
	// The gathered 1,200 bytes do not fit: the flush says so.
	EXPECT_FALSE(output.Flush());

	// A large record that the volume refuses fails at once.
	LimitedVolume small(10);
	output.SetVolume(&small);
	std::string large = Record('L', BackupOutput::kBufferSize);
	EXPECT_EQ(output.Write(large.data(), int64(large.size())), B_IO_ERROR);

	// Without a volume nothing is taken.
	output.SetVolume(nullptr);
	ASSERT_EQ(output.Write(record.data(), int64(record.size())), int64(record.size()));
	EXPECT_FALSE(output.Flush());
}
