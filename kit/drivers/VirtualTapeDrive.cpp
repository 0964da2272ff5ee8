#include "VirtualTapeDrive.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <support/Errors.h>

namespace MorvaneKit {

namespace {

// Sense keys.
constexpr uint8 kNoSense = 0x0;
constexpr uint8 kNotReady = 0x2;
constexpr uint8 kMediumError = 0x3;
constexpr uint8 kIllegalRequest = 0x5;
constexpr uint8 kDataProtect = 0x7;
constexpr uint8 kBlankCheck = 0x8;
constexpr uint8 kVolumeOverflow = 0xd;

constexpr uint8 kCheckCondition = 2;

uint32 Get24(const uint8* at)
{
	return uint32(at[0]) << 16 | uint32(at[1]) << 8 | at[2];
}

int32 GetSigned24(const uint8* at)
{
	uint32 value = Get24(at);
	return (value & 0x800000) != 0 ? int32(value | 0xff000000u) : int32(value);
}

void Put24(uint8* at, uint32 value)
{
	at[0] = uint8(value >> 16);
	at[1] = uint8(value >> 8);
	at[2] = uint8(value);
}

void Put32BE(uint8* at, uint32 value)
{
	at[0] = uint8(value >> 24);
	Put24(at + 1, value);
}

}	// namespace

// What a command reports besides its data.
struct VirtualTapeDrive::Sense {
	uint8 key = kNoSense;
	uint8 asc = 0;
	uint8 ascq = 0;
	bool filemark = false;
	bool endOfMedium = false;
	bool incorrectLength = false;
	bool hasInformation = false;
	int32 information = 0;

	static Sense Key(uint8 key, uint8 asc, uint8 ascq)
	{
		Sense sense;
		sense.key = key;
		sense.asc = asc;
		sense.ascq = ascq;
		return sense;
	}

	Sense& Residue(int64 residue)
	{
		hasInformation = true;
		information = int32(residue);
		return *this;
	}

	bool IsCheck() const { return key != kNoSense || filemark || endOfMedium || incorrectLength; }

	void Encode(uint8* bytes) const
	{
		memset(bytes, 0, kSenseLength);
		bytes[0] = 0x70 | (hasInformation ? 0x80 : 0);
		bytes[2] = uint8(key | (filemark ? 0x80 : 0) | (endOfMedium ? 0x40 : 0)
			| (incorrectLength ? 0x20 : 0));
		Put32BE(bytes + 3, uint32(information));
		bytes[7] = kSenseLength - 8;
		bytes[12] = asc;
		bytes[13] = ascq;
	}
};

namespace {

using Sense = VirtualTapeDrive::Sense;

const Sense kGood;
Sense NoTape() { return Sense::Key(kNotReady, 0x3a, 0x00); }
Sense BadTape() { return Sense::Key(kMediumError, 0x30, 0x00); }
Sense Damaged() { return Sense::Key(kMediumError, 0x11, 0x00); }
Sense WriteError() { return Sense::Key(kMediumError, 0x0c, 0x00); }
Sense Protected() { return Sense::Key(kDataProtect, 0x27, 0x00); }
Sense InvalidField() { return Sense::Key(kIllegalRequest, 0x24, 0x00); }
Sense InvalidOpcode() { return Sense::Key(kIllegalRequest, 0x20, 0x00); }
Sense EndOfData() { return Sense::Key(kBlankCheck, 0x00, 0x05); }

Sense FilemarkMet()
{
	Sense sense = Sense::Key(kNoSense, 0x00, 0x01);
	sense.filemark = true;
	return sense;
}

Sense BeginningMet()
{
	Sense sense = Sense::Key(kNoSense, 0x00, 0x04);
	sense.endOfMedium = true;
	return sense;
}

Sense EarlyWarning()
{
	Sense sense = Sense::Key(kNoSense, 0x00, 0x02);
	sense.endOfMedium = true;
	return sense;
}

Sense Overflow()
{
	Sense sense = Sense::Key(kVolumeOverflow, 0x00, 0x02);
	sense.endOfMedium = true;
	return sense;
}

}	// namespace

// One command on the drive: its state read under the lock and the tape
// that is in it.
class VirtualTapeDrive::Session {
public:
	// tapeCurrent: the drive was held since the last command, so that the
	// open tape is the one in it, as it was.
	Session(const std::string& folder, TapeDriveState& state, VirtualTape& tape,
		raw_device_command* command, bool tapeCurrent)
		:
		fFolder(folder),
		fState(state),
		fCommand(command),
		fCdb(command->command),
		fTape(tape),
		fTapeCurrent(tapeCurrent)
	{
	}

	Sense Run()
	{
		uint8 opcode = fCdb[0];
		if (!_IsKnown(opcode))
			return InvalidOpcode();
		switch (opcode) {
			case 0x12:
				return _Inquiry();
			case 0x1a:
				return _ModeSense();
			case 0x15:
				return _ModeSelect();
			case 0x05:
				return _ReadBlockLimits();
			case 0x1b:
				return _LoadUnload();
		}
		Sense ready = _OpenTape();
		if (ready.IsCheck())
			return ready;
		switch (opcode) {
			case 0x00:
				return kGood;
			case 0x01:
				_Rewind();
				return kGood;
			case 0x08:
				return _Read();
			case 0x0a:
				return _Write();
			case 0x10:
				return _WriteFilemarks();
			case 0x11:
				return _Space();
			case 0x19:
				return _Erase();
			case 0x34:
				return _ReadPosition();
			case 0x2b:
				return _Locate();
		}
		return InvalidOpcode();
	}

private:
	static bool _IsKnown(uint8 opcode)
	{
		for (uint8 known : {0x00, 0x01, 0x05, 0x08, 0x0a, 0x10, 0x11, 0x12, 0x15, 0x19, 0x1a,
				0x1b, 0x2b, 0x34}) {
			if (opcode == known)
				return true;
		}
		return false;
	}

	Sense _OpenTape()
	{
		if (fState.tape.empty())
			return NoTape();
		if (fTapeCurrent)
			return kGood;
		VirtualTapeLibrary library(fFolder);
		if (fTape.Reopen(library.TapePath(fState.tape)) != B_OK)
			return BadTape();
		if (fState.offset > fTape.End())
			_Rewind();
		return kGood;
	}

	void _Rewind()
	{
		fState.offset = VirtualTape::kFirstRecord;
		fState.block = 0;
	}

	// Copies what the command asked for of bytes; the rest of its buffer
	// is left alone.
	void _GiveData(const uint8* bytes, size_t size, size_t allocation)
	{
		size_t take = std::min({size, allocation, fCommand->data_length});
		if (take > 0 && fCommand->data != nullptr)
			memcpy(fCommand->data, bytes, take);
		_Moved(take);
	}

	void _Moved(size_t bytes)
	{
		if ((fCommand->flags & B_RAW_DEVICE_REPORT_RESIDUAL) != 0)
			fCommand->data_length = bytes;
	}

	Sense _Inquiry()
	{
		if ((fCdb[1] & 0x03) != 0 || fCdb[2] != 0)
			return InvalidField();
		uint8 data[36] = {};
		data[0] = 0x01;		// sequential-access device
		data[1] = 0x80;		// removable medium
		data[2] = 0x02;
		data[3] = 0x02;
		data[4] = sizeof(data) - 5;
		memcpy(data + 8, "MORVANE VIRTUAL TAPE    1.0 ", 28);
		_GiveData(data, sizeof(data), fCdb[4]);
		return kGood;
	}

	Sense _ModeSense()
	{
		// Besides the header and block descriptor, the device
		// configuration page (10h) is there, all zero but its code and
		// length.
		uint8 page = fCdb[2] & 0x3f;
		if (page != 0 && page != 0x10 && page != 0x3f)
			return InvalidField();
		bool writeProtected = false;
		if (!fState.tape.empty()) {
			VirtualTape tape;
			VirtualTapeLibrary library(fFolder);
			writeProtected = tape.Open(library.TapePath(fState.tape)) == B_OK
				&& tape.GetHeader().writeProtected;
		}
		bool descriptor = (fCdb[1] & 0x08) == 0;
		uint8 data[28] = {};
		size_t size = descriptor ? 12 : 4;
		data[2] = uint8((writeProtected ? 0x80 : 0) | 0x10);
		data[3] = descriptor ? 8 : 0;
		if (descriptor)
			Put24(data + 9, fState.blockLength);
		if (page != 0) {
			data[size] = 0x10;
			data[size + 1] = 0x0e;
			size += 16;
		}
		data[0] = uint8(size - 1);
		_GiveData(data, size, fCdb[4]);
		return kGood;
	}

	Sense _ModeSelect()
	{
		size_t length = std::min<size_t>(fCdb[4], fCommand->data_length);
		const uint8* data = static_cast<const uint8*>(fCommand->data);
		if (length < 4 || data == nullptr)
			return length == 0 ? kGood : InvalidField();
		if (data[3] == 8 && length >= 12)
			fState.blockLength = Get24(data + 9);
		else if (data[3] != 0)
			return InvalidField();
		return kGood;
	}

	Sense _ReadBlockLimits()
	{
		uint8 data[6] = {};
		Put24(data + 1, VirtualTape::kMaxBlock);
		data[5] = 1;
		_GiveData(data, sizeof(data), sizeof(data));
		return kGood;
	}

	Sense _LoadUnload()
	{
		bool load = (fCdb[4] & 0x01) != 0;
		if (load && fState.tape.empty())
			return NoTape();
		_Rewind();
		if (!load)
			fState.tape.clear();
		return kGood;
	}

	// One record forwards; the sense that ends a move when it is not a
	// data block.
	Sense _StepForward(bool* overFilemark)
	{
		uint32 length;
		*overFilemark = false;
		switch (fTape.RecordAt(fState.offset, &length)) {
			case VirtualTape::Record::EndOfData:
				return EndOfData();
			case VirtualTape::Record::Damaged:
				return Damaged();
			case VirtualTape::Record::Filemark:
				*overFilemark = true;
				break;
			case VirtualTape::Record::Data:
				break;
		}
		fState.offset += VirtualTape::kFraming + length;
		fState.block++;
		return kGood;
	}

	Sense _StepBackward(bool* overFilemark)
	{
		*overFilemark = false;
		if (fState.offset <= VirtualTape::kFirstRecord)
			return BeginningMet();
		uint32 length;
		uint64 start;
		VirtualTape::Record record = fTape.RecordBefore(fState.offset, &length, &start);
		if (record == VirtualTape::Record::Damaged)
			return Damaged();
		*overFilemark = record == VirtualTape::Record::Filemark;
		fState.offset = start;
		fState.block = fState.block > 0 ? fState.block - 1 : 0;
		return kGood;
	}

	Sense _Read()
	{
		if ((fCdb[1] & 0x01) != 0)
			return InvalidField();
		bool suppress = (fCdb[1] & 0x02) != 0;
		uint32 wanted = Get24(fCdb + 2);
		size_t buffer = fCommand->data != nullptr ? fCommand->data_length : 0;
		_Moved(0);
		if (wanted == 0)
			return kGood;
		uint32 length;
		switch (fTape.RecordAt(fState.offset, &length)) {
			case VirtualTape::Record::EndOfData:
				return EndOfData().Residue(wanted);
			case VirtualTape::Record::Damaged:
				return Damaged().Residue(wanted);
			case VirtualTape::Record::Filemark:
				fState.offset += VirtualTape::kFraming;
				fState.block++;
				return FilemarkMet().Residue(wanted);
			case VirtualTape::Record::Data:
				break;
		}
		uint32 room = uint32(std::min<size_t>({wanted, buffer, VirtualTape::kMaxBlock}));
		if (fTape.ReadData(fState.offset, length, fCommand->data, room) != B_OK)
			return Damaged().Residue(wanted);
		fState.offset += VirtualTape::kFraming + length;
		fState.block++;
		_Moved(std::min(room, length));
		if (length == wanted || (length < wanted && suppress))
			return kGood;
		Sense sense = Sense::Key(kNoSense, 0, 0);
		sense.incorrectLength = true;
		return sense.Residue(int64(wanted) - int64(length));
	}

	Sense _Write()
	{
		if ((fCdb[1] & 0x01) != 0)
			return InvalidField();
		uint32 length = Get24(fCdb + 2);
		if (length == 0)
			return kGood;
		if (fCommand->data == nullptr || fCommand->data_length < length)
			return InvalidField();
		return _Record(false, fCommand->data, length, length);
	}

	// As a drive empties its buffer onto the medium at a filemark (without
	// the immediate bit), what was written is on the disk when it is done.
	Sense _WriteFilemarks()
	{
		uint32 count = Get24(fCdb + 2);
		bool immediate = (fCdb[1] & 0x01) != 0;
		if (fTape.GetHeader().writeProtected && count > 0)
			return Protected();
		for (uint32 i = 0; i < count; i++) {
			Sense sense = _Record(true, nullptr, 0, count - i);
			if (sense.key != kNoSense)
				return sense;
			if (i + 1 == count && sense.IsCheck())
				return immediate || fTape.Flush() == B_OK ? sense : WriteError();
		}
		if (!immediate && fTape.Flush() != B_OK)
			return WriteError();
		return kGood;
	}

	// Writes one record where the drive stands.
	Sense _Record(bool filemark, const void* data, uint32 length, int64 residue)
	{
		if (fTape.GetHeader().writeProtected)
			return Protected();
		uint64 next;
		uint32 waiting = fTape.PendingRecords();
		status_t status = fTape.Write(fState.offset, filemark, data, length, &next);
		if (fTape.End() < fState.offset) {
			// Records that waited to be written are lost with it.
			fState.offset = fTape.End();
			fState.block = fState.block > waiting ? fState.block - waiting : 0;
		}
		switch (status) {
			case B_OK:
				break;
			case B_DEVICE_FULL:
				return Overflow().Residue(residue);
			default:
				return WriteError().Residue(residue);
		}
		fState.offset = next;
		fState.block++;
		return fTape.InEarlyWarning(next) ? EarlyWarning() : kGood;
	}

	Sense _Space()
	{
		int32 count = GetSigned24(fCdb + 2);
		switch (fCdb[1] & 0x07) {
			case 0:
				return _SpaceBlocks(count);
			case 1:
				return _SpaceFilemarks(count);
			case 3:
				return _SpaceToEndOfData();
		}
		return InvalidField();
	}

	// Steps over every record up to the end of data, which keeps the block
	// number right.
	Sense _SpaceToEndOfData()
	{
		while (true) {
			bool filemark;
			Sense sense = _StepForward(&filemark);
			if (sense.key == kBlankCheck)
				return kGood;
			if (sense.IsCheck())
				return sense;
		}
	}

	Sense _SpaceBlocks(int32 count)
	{
		int64 left = count < 0 ? -int64(count) : count;
		for (int64 done = 0; done < left; done++) {
			bool filemark;
			Sense sense = count > 0 ? _StepForward(&filemark) : _StepBackward(&filemark);
			if (sense.IsCheck())
				return sense.Residue(left - done);
			if (filemark)
				return FilemarkMet().Residue(left - done - 1);
		}
		return kGood;
	}

	Sense _SpaceFilemarks(int32 count)
	{
		int64 left = count < 0 ? -int64(count) : count;
		int64 crossed = 0;
		while (crossed < left) {
			bool filemark;
			Sense sense = count > 0 ? _StepForward(&filemark) : _StepBackward(&filemark);
			if (sense.IsCheck())
				return sense.Residue(left - crossed);
			if (filemark)
				crossed++;
		}
		return kGood;
	}

	Sense _Erase()
	{
		if (fTape.GetHeader().writeProtected)
			return Protected();
		return fTape.Truncate(fState.offset) == B_OK ? kGood : WriteError();
	}

	Sense _ReadPosition()
	{
		if ((fCdb[1] & 0x07) != 0)
			return InvalidField();
		uint8 data[20] = {};
		data[0] = uint8((fState.block == 0 ? 0x80 : 0)
			| (fTape.InEarlyWarning(fState.offset) ? 0x40 : 0));
		Put32BE(data + 4, uint32(fState.block));
		Put32BE(data + 8, uint32(fState.block));
		_GiveData(data, sizeof(data), sizeof(data));
		return kGood;
	}

	Sense _Locate()
	{
		uint32 target = uint32(fCdb[3]) << 24 | Get24(fCdb + 4);
		_Rewind();
		for (uint32 block = 0; block < target; block++) {
			bool filemark;
			Sense sense = _StepForward(&filemark);
			if (sense.IsCheck())
				return sense;
		}
		return kGood;
	}

	const std::string& fFolder;
	TapeDriveState& fState;
	raw_device_command* fCommand;
	const uint8* fCdb;
	VirtualTape& fTape;
	bool fTapeCurrent;
};

VirtualTapeDrive::VirtualTapeDrive(std::string folder, int stateFd)
	:
	fFolder(std::move(folder)),
	fStateFd(stateFd)
{
}

VirtualTapeDrive::~VirtualTapeDrive()
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fQuitting = true;
		if (fHolding)
			(void)_LetGo();
	}
	fWake.notify_all();
	if (fReleaser.joinable())
		fReleaser.join();
	fTape.Close();
	close(fStateFd);
}

bool VirtualTapeDrive::_Acquire()
{
	if (flock(fStateFd, LOCK_EX) != 0)
		return false;
	if (!VirtualTapeLibrary::ReadStateFile(fStateFd, &fState))
		fState = TapeDriveState();
	fFileState = fState;
	return true;
}

VirtualTapeDrive::Sense VirtualTapeDrive::_WritePending()
{
	uint32 records = fTape.PendingRecords();
	if (fTape.FlushPending() == B_OK)
		return kGood;
	// The records are gone; the drive stands at the end of what is there.
	fState.offset = fTape.End();
	fState.block = fState.block > records ? fState.block - records : 0;
	return WriteError();
}

bool VirtualTapeDrive::_LetGo()
{
	if (_WritePending().IsCheck())
		fDeferredError = true;
	fHolding = false;
	bool written = VirtualTapeLibrary::FormatState(fState)
			== VirtualTapeLibrary::FormatState(fFileState)
		|| VirtualTapeLibrary::WriteStateFile(fStateFd, fState);
	(void)flock(fStateFd, LOCK_UN);
	return written;
}

void VirtualTapeDrive::_LetGoWhenIdle()
{
	std::unique_lock<std::mutex> guard(fLock);
	while (true) {
		fWake.wait(guard, [this] { return fQuitting || fHolding; });
		if (fQuitting)
			return;
		std::chrono::steady_clock::time_point due = fLastCommand + kIdleRelease;
		if (std::chrono::steady_clock::now() >= due) {
			if (!_LetGo())
				fDeferredError = true;
			continue;
		}
		fWake.wait_until(guard, due);
	}
}

void VirtualTapeDrive::Execute(raw_device_command* command)
{
	std::lock_guard<std::mutex> guard(fLock);
	command->cam_status = B_CAM_REQUEST_FAILED;
	command->scsi_status = 0;
	bool held = fHolding;
	if (!held && !_Acquire())
		return;

	// Only a write may join the records that wait; anything else finds
	// them on the tape.
	bool write = command->command[0] == 0x0a;
	Sense sense;
	if (fDeferredError) {
		fDeferredError = false;
		sense = WriteError();
	} else if (!write && fTape.PendingRecords() > 0) {
		sense = _WritePending();
	}
	if (sense.IsCheck()) {
		// Reported below.
	} else if (command->command[0] == 0x03) {
		// REQUEST SENSE gives the last sense and clears it.
		size_t take = std::min<size_t>({command->command[4], command->data_length,
			kSenseLength});
		if (take > 0 && command->data != nullptr)
			memcpy(command->data, fLastSense, take);
		memset(fLastSense, 0, sizeof(fLastSense));
		fLastSense[0] = 0x70;
		fLastSense[7] = kSenseLength - 8;
	} else {
		Session session(fFolder, fState, fTape, command, held);
		sense = session.Run();
	}

	if (fTape.PendingRecords() > 0) {
		// The releaser, once woken, finds the time of the last command
		// when its wait ends.
		fLastCommand = std::chrono::steady_clock::now();
		if (!fReleaser.joinable())
			fReleaser = std::thread([this] { _LetGoWhenIdle(); });
		if (!fHolding) {
			fHolding = true;
			fWake.notify_one();
		}
	} else if (!_LetGo()) {
		return;
	}

	command->cam_status = B_CAM_REQUEST_COMPLETED;
	if (!sense.IsCheck())
		return;
	command->scsi_status = kCheckCondition;
	sense.Encode(fLastSense);
	size_t take = std::min(command->sense_data_length, kSenseLength);
	if (take > 0 && command->sense_data != nullptr)
		memcpy(command->sense_data, fLastSense, take);
}

}	// namespace MorvaneKit
