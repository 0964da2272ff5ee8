#include "MVSCSI.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr bigtime_t kTimeout = 1000000;

int SendThroughKit(int fd, raw_device_command* command)
{
	return raw_device_ioctl(fd, B_RAW_DEVICE_COMMAND, command, sizeof(*command));
}

std::atomic<MVSCSI::CommandSender> sSender{SendThroughKit};

void Put24(uint8* at, uint32 value)
{
	at[0] = uint8(value >> 16);
	at[1] = uint8(value >> 8);
	at[2] = uint8(value);
}

// The folder of the trace, made when missing; "" when there is no home.
std::string TraceFolder()
{
	const char* state = getenv("XDG_STATE_HOME");
	std::string folder;
	if (state != nullptr && state[0] == '/') {
		folder = state;
	} else {
		const char* home = getenv("HOME");
		if (home == nullptr || home[0] != '/')
			return std::string();
		folder = std::string(home) + "/.local/state";
	}
	folder += "/morvane";
	for (size_t slash = 1; slash != std::string::npos; slash = folder.find('/', slash + 1))
		(void)mkdir(folder.substr(0, slash).c_str(), 0700);
	(void)mkdir(folder.c_str(), 0700);
	return folder;
}

}	// namespace

// One command as it is built: its bytes, its data and which way they go.
struct MVSCSI::Command {
	uint8 cdb[16] = {};
	uint8 length = 6;
	void* data = nullptr;
	size_t dataLength = 0;
	bool in = true;
	bool shortReadValid = false;
	bool sense = true;

	Command(uint8 opcode, uint8 cdbLength = 6) : length(cdbLength) { cdb[0] = opcode; }

	Command& Data(const void* buffer, size_t size, bool dataIn)
	{
		data = const_cast<void*>(buffer);
		dataLength = size;
		in = dataIn;
		return *this;
	}
};

MVSCSI::MVSCSI() = default;

MVSCSI::MVSCSI(const char* path)
{
	(void)SetTo(path);
}

MVSCSI::~MVSCSI()
{
	Unset();
}

MVSCSI::CommandSender MVSCSI::SetCommandSender(CommandSender sender)
{
	return sSender.exchange(sender != nullptr ? sender : SendThroughKit);
}

int32 MVSCSI::SetTo(const char* path)
{
	if (fDevice >= 0)
		Unset();
	fFull = false;
	if (path == nullptr)
		return -1;
	fDevice = open_raw_device(path, O_RDONLY | O_CLOEXEC);
	if (_OpenTrace()) {
		_Trace("\n---- Start ----------\n");
		_Trace("Device: %s\nStatus: %s\n", path, fDevice >= 0 ? "ok" : "FAILED");
		_CloseTrace();
	}
	return fDevice >= 0 ? 0 : -1;
}

void MVSCSI::Unset()
{
	if (fDevice < 0)
		return;
	close_raw_device(fDevice);
	fDevice = -1;
	if (_OpenTrace()) {
		_Trace("\n---- Close ----------\n");
		_CloseTrace();
	}
}

// #pragma mark - commands

uint8 MVSCSI::TestUnitReady()
{
	Command command(0x00);
	command.sense = false;
	return _Do(command, "TestUnitReady");
}

uint8 MVSCSI::Rewind()
{
	Command command(0x01);
	return _Do(command, "Rewind");
}

uint8 MVSCSI::RequestSense(void* buffer, size_t length)
{
	Command command(0x03);
	command.cdb[4] = uint8(length);
	command.Data(buffer, length, true);
	uint8 status = _Do(command, "RequestSense");
	if (_OpenTrace()) {
		_Trace("\nExternal:\n");
		_TraceDump(buffer, length);
		_Trace("\nInternal:\n");
		_TraceDump(fSense, kSenseLength);
		_CloseTrace();
	}
	return status;
}

uint8 MVSCSI::Format()
{
	Command command(0x04);
	command.in = false;
	uint8 status = _Do(command, "Format");
	fFull = false;
	return status;
}

uint8 MVSCSI::ReadBlockLimits(void* buffer, size_t length)
{
	Command command(0x05);
	command.Data(buffer, length, true);
	return _Do(command, "ReadBlockLimits");
}

uint8 MVSCSI::Read(void* buffer, size_t length, bool fixed, bool sili)
{
	Command command(0x08);
	command.cdb[1] = uint8((fixed ? 0x01 : 0) | (sili ? 0x02 : 0));
	Put24(command.cdb + 2, uint32(length));
	command.Data(buffer, length, true);
	return _Do(command, "Read");
}

uint8 MVSCSI::Write(const void* buffer, size_t length, bool fixed)
{
	memset(fSense, 0, kSenseLength);
	Command command(0x0a);
	command.cdb[1] = fixed ? 0x01 : 0;
	Put24(command.cdb + 2, uint32(length));
	command.Data(buffer, length, false);
	return _EndOfMediumCheck(_Do(command, "Write"));
}

uint8 MVSCSI::WriteFilemarks(int32 count, bool setmarks, bool immediate)
{
	Command command(0x10);
	command.cdb[1] = uint8((immediate ? 0x01 : 0) | (setmarks ? 0x02 : 0));
	command.cdb[4] = uint8(count);
	command.in = false;
	return _EndOfMediumCheck(_Do(command, "WriteFilemarks"));
}

uint8 MVSCSI::Space(int32 count, uint8 code)
{
	memset(fSense, 0, kSenseLength);
	Command command(0x11);
	command.cdb[1] = code & 0x07;
	Put24(command.cdb + 2, uint32(count) & 0xffffff);
	uint8 status = _Do(command, "Space");
	if (_OpenTrace()) {
		_Trace("Count = %ld\nCode = %d\n", long(count), int(code));
		_CloseTrace();
	}
	return status;
}

uint8 MVSCSI::Inquiry(void* buffer, size_t length, uint8 page, bool cmddt, bool evpd)
{
	Command command(0x12);
	command.cdb[1] = uint8((evpd ? 0x01 : 0) | (cmddt ? 0x02 : 0));
	command.cdb[2] = page;
	command.cdb[4] = uint8(length);
	command.Data(buffer, length, true);
	return _Do(command, "Inquiry");
}

uint8 MVSCSI::ModeSelect(const void* buffer, size_t length, bool pf, bool sp)
{
	Command command(0x15);
	command.cdb[1] = uint8((sp ? 0x01 : 0) | (pf ? 0x10 : 0));
	command.cdb[4] = uint8(length);
	command.Data(buffer, length, false);
	uint8 status = _Do(command, "ModeSelect");
	if (_OpenTrace()) {
		_TraceDump(buffer, length);
		_CloseTrace();
	}
	return status;
}

uint8 MVSCSI::Erase(bool longErase, bool immediate)
{
	Command command(0x19);
	command.cdb[1] = uint8((immediate ? 0x01 : 0) | (longErase ? 0x02 : 0));
	command.in = false;
	return _Do(command, "Erase");
}

uint8 MVSCSI::ModeSense(void* buffer, size_t length, uint8 page, uint8 control, bool dbd)
{
	Command command(0x1a);
	command.cdb[1] = dbd ? 0x08 : 0;
	command.cdb[2] = uint8((page & 0x3f) | (control << 6));
	command.cdb[4] = uint8(length);
	command.Data(buffer, length, true);
	command.shortReadValid = true;
	uint8 status = _Do(command, "ModeSense");
	if (_OpenTrace()) {
		_Trace("\n---- ModeSense Data -----\n");
		_TraceDump(buffer, length);
		_CloseTrace();
	}
	return status;
}

uint8 MVSCSI::LoadUnload(bool immediate, bool eot, bool retension, bool load)
{
	Command command(0x1b);
	command.cdb[1] = immediate ? 0x01 : 0;
	command.cdb[4] = uint8((load ? 0x01 : 0) | (retension ? 0x02 : 0) | (eot ? 0x04 : 0));
	command.in = false;
	return _Do(command, "LoadUnload");
}

uint8 MVSCSI::Locate(uint32 block, uint8 partition, bool bt, bool cp, bool immediate)
{
	Command command(0x2b, 10);
	command.cdb[1] = uint8((immediate ? 0x01 : 0) | (cp ? 0x02 : 0) | (bt ? 0x04 : 0));
	command.cdb[3] = uint8(block >> 24);
	Put24(command.cdb + 4, block);
	command.cdb[8] = partition;
	return _Do(command, "Locate");
}

uint8 MVSCSI::ReadPosition(void* buffer, size_t length, bool a, bool b, bool c)
{
	Command command(0x34, 10);
	command.cdb[1] = uint8((c ? 0x01 : 0) | (b ? 0x02 : 0) | (a ? 0x04 : 0));
	command.Data(buffer, length, true);
	return _Do(command, "ReadPosition");
}

// #pragma mark - sending

uint8 MVSCSI::_Do(Command& command, const char* name)
{
	uint8 status = kCheckCondition;
	if (fDevice >= 0) {
		raw_device_command record = {};
		memcpy(record.command, command.cdb, sizeof(record.command));
		record.command_length = command.length;
		record.flags = uint8((command.in ? B_RAW_DEVICE_DATA_IN : 0)
			| (command.shortReadValid ? B_RAW_DEVICE_SHORT_READ_VALID : 0));
		record.data = command.data;
		record.data_length = command.dataLength;
		record.sense_data = fSense;
		record.sense_data_length = command.sense ? kSenseLength : 0;
		record.timeout = kTimeout;
		int result = sSender.load()(fDevice, &record);
		if (result == 0 && record.cam_status == B_CAM_REQUEST_COMPLETED)
			status = record.scsi_status;
		if (_OpenTrace()) {
			_Trace("\n---- DoCommand ----------\n");
			_Trace("Command: 0x%x\ncam_status: %d\nscsi_status: %d\nio_status: %d\n",
				unsigned(command.cdb[0]), int(record.cam_status), int(record.scsi_status),
				result);
			if (status == kCheckCondition && command.sense)
				_TraceDump(fSense, kSenseLength);
			_CloseTrace();
		}
	}
	if (_OpenTrace()) {
		_Trace("\n---- %s ----------\nStatus: %d\n", name, int(status));
		_CloseTrace();
	}
	return status;
}

// A write that reached the early-warning zone was done: the drive says so
// with CHECK CONDITION, sense key NO SENSE or RECOVERED ERROR and EOM.
uint8 MVSCSI::_EndOfMediumCheck(uint8 status)
{
	if (status != 0 && SenseKey() <= 1 && SenseEndOfMedium()) {
		fFull = true;
		return 0;
	}
	return status;
}

// #pragma mark - trace

bool MVSCSI::_OpenTrace()
{
	if (!fTrace)
		return false;
	if (fTraceFile == nullptr) {
		std::string folder = TraceFolder();
		if (folder.empty())
			return false;
		fTraceFile = fopen((folder + "/mvscsi.log").c_str(), "a+e");
	}
	return fTraceFile != nullptr;
}

void MVSCSI::_CloseTrace()
{
	if (fTraceFile != nullptr)
		fclose(fTraceFile);
	fTraceFile = nullptr;
}

void MVSCSI::_Trace(const char* format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	vfprintf(fTraceFile, format, arguments);
	va_end(arguments);
}

void MVSCSI::_TraceDump(const void* data, size_t length)
{
	const uint8* bytes = static_cast<const uint8*>(data);
	_Trace("Datalen: %ld\n", long(length));
	for (size_t i = 0; bytes != nullptr && i < length; i++) {
		if (i % 16 == 0)
			_Trace("\n%04lx: ", (unsigned long)i);
		_Trace("0x%02x ", bytes[i]);
	}
	_Trace("\n");
}
