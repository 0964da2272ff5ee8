#include "BlockPacker.h"

#include <algorithm>
#include <cstring>

#include "ArchiveFormat.h"
#include "ArchiveWriter.h"

struct BlockPacker::Slot {
	std::vector<uint8> raw = std::vector<uint8>(kDataBlockMaxRaw);
	std::vector<uint8> record = std::vector<uint8>(ArchiveWriter::kRecordRoom);
	uint64 index = 0;
	bool ready = false;
	Block block;
};

BlockPacker::BlockPacker(const std::vector<MVCruncher*>& crunchers, const char* password)
	:
	fPassword(password != nullptr ? password : ""),
	fCrunchers(crunchers)
{
	if (fCrunchers.empty())
		fCrunchers.push_back(nullptr);
	fSlots.resize(fCrunchers.size() * kBlocksAhead);
}

BlockPacker::~BlockPacker()
{
	Stop();
	{
		std::lock_guard<std::mutex> guard(fLock);
		fQuitting = true;
	}
	fWork.notify_all();
	for (std::thread& thread : fThreads)
		thread.join();
}

uint64 BlockPacker::_BlockCount() const
{
	return (uint64(fSize) + kDataBlockMaxRaw - 1) / kDataBlockMaxRaw;
}

void BlockPacker::Start(BPositionIO* file, int64 size)
{
	Stop();
	if (fThreads.empty()) {
		for (size_t thread = 0; thread < fCrunchers.size(); thread++)
			fThreads.emplace_back([this, thread] { _Pack(thread); });
	}
	{
		std::lock_guard<std::mutex> guard(fLock);
		fFile = file;
		fSize = std::max<int64>(size, 0);
		fClaimed = fHanded = fFreed = 0;
		for (Slot& slot : fSlots)
			slot.ready = false;
	}
	fWork.notify_all();
}

void BlockPacker::Stop()
{
	std::unique_lock<std::mutex> guard(fLock);
	fFile = nullptr;
	fDone.wait(guard, [this] { return fBusy == 0; });
}

bool BlockPacker::Next(Block* block)
{
	std::unique_lock<std::mutex> guard(fLock);
	// The block handed out last is done with.
	fFreed = fHanded;
	fWork.notify_all();
	if (fFile == nullptr || fHanded >= _BlockCount())
		return false;
	Slot& slot = fSlots[fHanded % fSlots.size()];
	fDone.wait(guard, [&] { return slot.ready && slot.index == fHanded; });
	*block = slot.block;
	fHanded++;
	return true;
}

void BlockPacker::_Pack(size_t thread)
{
	std::unique_lock<std::mutex> guard(fLock);
	while (true) {
		fWork.wait(guard, [this] {
			return fQuitting || (fFile != nullptr && fClaimed < _BlockCount()
				&& fClaimed < fFreed + fSlots.size());
		});
		if (fQuitting)
			return;
		uint64 index = fClaimed++;
		Slot& slot = fSlots[index % fSlots.size()];
		slot.ready = false;
		BPositionIO* file = fFile;
		uint64 offset = index * kDataBlockMaxRaw;
		uint32 length = uint32(std::min<uint64>(uint64(fSize) - offset, kDataBlockMaxRaw));
		bool last = index + 1 == _BlockCount();
		fBusy++;
		guard.unlock();

		ssize_t got = file->ReadAt(off_t(offset), slot.raw.data(), length);
		uint32 read = got > 0 ? uint32(got) : 0;
		if (read < length)
			memset(slot.raw.data() + read, 0, length - read);
		Block& block = slot.block;
		block.record = slot.record.data();
		block.length = length;
		block.read = read;
		block.recordLength = ArchiveWriter::PackDataBlock(fCrunchers[thread], fPassword,
			slot.raw.data(), length, uint32(index + 1), last, slot.record.data(), &block.packed);

		guard.lock();
		fBusy--;
		slot.index = index;
		slot.ready = true;
		fDone.notify_all();
	}
}
