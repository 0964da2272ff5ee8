#include <support/Errors.h>

#include <cstring>

const char* strerror_status(status_t status)
{
	switch (status) {
		case B_OK: return "no error";
		case B_ERROR: return "general error";
		case B_NO_MEMORY: return "out of memory";
		case B_IO_ERROR: return "input/output error";
		case B_BAD_VALUE: return "bad value";
		case B_BAD_TYPE: return "bad type";
		case B_NAME_NOT_FOUND: return "name not found";
		case B_BAD_INDEX: return "index out of range";
		case B_MISMATCHED_VALUES: return "mismatched values";
		case B_NAME_IN_USE: return "name in use";
		case B_TIMED_OUT: return "timed out";
		case B_INTERRUPTED: return "interrupted";
		case B_WOULD_BLOCK: return "operation would block";
		case B_CANCELED: return "canceled";
		case B_NO_INIT: return "not initialised";
		case B_BUSY: return "busy";
		case B_NOT_ALLOWED: return "operation not allowed";
		case B_BAD_DATA: return "bad data";
		case B_UNSUPPORTED: return "unsupported";
		case B_BUFFER_OVERFLOW: return "buffer overflow";
		case B_BAD_THREAD_ID: return "no such thread";
		case B_BAD_TEAM_ID: return "no such team";
		case B_BAD_PORT_ID: return "no such port";
		case B_BAD_IMAGE_ID: return "no such image";
		case B_NOT_AN_EXECUTABLE: return "not an executable";
		case B_MISSING_LIBRARY: return "missing library";
		case B_MISSING_SYMBOL: return "missing symbol";
		case B_DUPLICATE_REPLY: return "message already replied to";
		case B_BAD_REPLY: return "no reply address";
		case B_BAD_HANDLER: return "no such handler";
		case B_MESSAGE_TOO_BIG: return "message too big";
		default:
			break;
	}
	int error = StatusToErrno(status);
	if (status < B_POSIX_ERROR_BASE + 4096 && status > B_POSIX_ERROR_BASE)
		return strerror(error);
	return "unknown error";
}
