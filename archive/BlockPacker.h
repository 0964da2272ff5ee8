#pragma once

// BlockPacker: packs the data blocks of one file ahead of the writer, on
// threads of its own, so that reading and compressing overlap with writing
// and every core compresses. Each thread reads its blocks with ReadAt(),
// scrambles and compresses them with a compressor object of its own, and
// encodes the record exactly as ArchiveWriter::PrepareDataBlock() would;
// the blocks come out in file order, at most kBlocksAhead per thread ahead
// of the one last handed out.
//
// A block that reads short (the file shrank or cannot be read) comes out
// with its missing bytes as zeros and says how many it read; the blocks
// after it are still packed from whatever the file gives, so the caller
// that wants zeros from there on stops the packer and packs those itself.
//
// The file and the compressors are not owned; the file must stay open
// until Stop() or the next Start(), and a compressor must not be used
// elsewhere while a file is being packed. Start(), Next() and Stop() are
// called by one thread.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <support/DataIO.h>
#include <support/SupportDefs.h>

class MVCruncher;

class BlockPacker {
public:
	static constexpr uint32 kBlocksAhead = 3;

	struct Block {
		// The whole record, valid until the next Next() or Start().
		const uint8* record = nullptr;
		uint32 recordLength = 0;
		// File bytes the block stands for, and of them those read.
		uint32 length = 0;
		uint32 read = 0;
		// The stored payload's length; 0 with recordLength 0 when the
		// compressor grew the block beyond its room.
		uint32 packed = 0;
	};

	// One thread per compressor; a null compressor stores blocks as they are.
	BlockPacker(const std::vector<MVCruncher*>& crunchers, const char* password);
	~BlockPacker();
	BlockPacker(const BlockPacker&) = delete;
	BlockPacker& operator=(const BlockPacker&) = delete;

	// Begins packing size bytes of file, blocks numbered from 1; a file
	// still being packed is stopped first.
	void Start(BPositionIO* file, int64 size);
	// The next block in file order, waiting for it; false after the last.
	bool Next(Block* block);
	// Stops packing: no thread touches the file afterwards.
	void Stop();
	bool IsPacking() const { return fFile != nullptr; }

private:
	struct Slot;

	void _Pack(size_t thread);
	uint64 _BlockCount() const;

	std::string fPassword;
	std::vector<MVCruncher*> fCrunchers;
	std::vector<Slot> fSlots;
	std::vector<std::thread> fThreads;

	std::mutex fLock;
	std::condition_variable fWork;
	std::condition_variable fDone;
	// The file being packed (null: none) and its size.
	BPositionIO* fFile = nullptr;
	int64 fSize = 0;
	// Blocks claimed by a thread, handed out, and whose slot is free
	// again; threads packing at the moment.
	uint64 fClaimed = 0;
	uint64 fHanded = 0;
	uint64 fFreed = 0;
	uint32 fBusy = 0;
	bool fQuitting = false;
};
