#pragma once

// Status codes of the kit. B_OK is 0; every error is negative. Errors that
// come from the operating system keep their errno: B_FROM_ERRNO(ENOENT) is
// B_ENTRY_NOT_FOUND, and StatusToErrno() gives the errno back, so that no
// information is lost between a system call and the caller.

#include <cerrno>
#include <climits>

#include "SupportDefs.h"

constexpr status_t B_OK = 0;
constexpr status_t B_NO_ERROR = 0;
constexpr status_t B_ERROR = -1;

// Errors of the kit itself.
constexpr status_t B_GENERAL_ERROR_BASE = INT32_MIN;
constexpr status_t B_NO_MEMORY = B_GENERAL_ERROR_BASE + 0;
constexpr status_t B_IO_ERROR = B_GENERAL_ERROR_BASE + 1;
constexpr status_t B_BAD_VALUE = B_GENERAL_ERROR_BASE + 5;
constexpr status_t B_BAD_TYPE = B_GENERAL_ERROR_BASE + 6;
constexpr status_t B_NAME_NOT_FOUND = B_GENERAL_ERROR_BASE + 7;
constexpr status_t B_BAD_INDEX = B_GENERAL_ERROR_BASE + 8;
constexpr status_t B_MISMATCHED_VALUES = B_GENERAL_ERROR_BASE + 9;
constexpr status_t B_NAME_IN_USE = B_GENERAL_ERROR_BASE + 10;
constexpr status_t B_TIMED_OUT = B_GENERAL_ERROR_BASE + 11;
constexpr status_t B_INTERRUPTED = B_GENERAL_ERROR_BASE + 12;
constexpr status_t B_WOULD_BLOCK = B_GENERAL_ERROR_BASE + 13;
constexpr status_t B_CANCELED = B_GENERAL_ERROR_BASE + 14;
constexpr status_t B_NO_INIT = B_GENERAL_ERROR_BASE + 15;
constexpr status_t B_BUSY = B_GENERAL_ERROR_BASE + 16;
constexpr status_t B_NOT_ALLOWED = B_GENERAL_ERROR_BASE + 17;
constexpr status_t B_BAD_DATA = B_GENERAL_ERROR_BASE + 18;
constexpr status_t B_DONT_DO_THAT = B_GENERAL_ERROR_BASE + 19;
constexpr status_t B_UNSUPPORTED = B_GENERAL_ERROR_BASE + 20;
constexpr status_t B_BUFFER_OVERFLOW = B_GENERAL_ERROR_BASE + 21;

constexpr status_t B_BAD_SEM_ID = B_GENERAL_ERROR_BASE + 0x1000;
constexpr status_t B_NO_MORE_SEMS = B_GENERAL_ERROR_BASE + 0x1001;
constexpr status_t B_BAD_THREAD_ID = B_GENERAL_ERROR_BASE + 0x1100;
constexpr status_t B_NO_MORE_THREADS = B_GENERAL_ERROR_BASE + 0x1101;
constexpr status_t B_BAD_THREAD_STATE = B_GENERAL_ERROR_BASE + 0x1102;
constexpr status_t B_BAD_TEAM_ID = B_GENERAL_ERROR_BASE + 0x1103;
constexpr status_t B_NO_MORE_TEAMS = B_GENERAL_ERROR_BASE + 0x1104;
constexpr status_t B_BAD_PORT_ID = B_GENERAL_ERROR_BASE + 0x1105;
constexpr status_t B_NO_MORE_PORTS = B_GENERAL_ERROR_BASE + 0x1106;
constexpr status_t B_BAD_IMAGE_ID = B_GENERAL_ERROR_BASE + 0x1107;
constexpr status_t B_BAD_ADDRESS = B_GENERAL_ERROR_BASE + 0x1108;
constexpr status_t B_NOT_AN_EXECUTABLE = B_GENERAL_ERROR_BASE + 0x1109;
constexpr status_t B_MISSING_LIBRARY = B_GENERAL_ERROR_BASE + 0x110a;
constexpr status_t B_MISSING_SYMBOL = B_GENERAL_ERROR_BASE + 0x110b;

// Application kit errors.
constexpr status_t B_DUPLICATE_REPLY = B_GENERAL_ERROR_BASE + 0x2000;
constexpr status_t B_BAD_REPLY = B_GENERAL_ERROR_BASE + 0x2001;
constexpr status_t B_BAD_HANDLER = B_GENERAL_ERROR_BASE + 0x2002;
constexpr status_t B_ALREADY_RUNNING = B_GENERAL_ERROR_BASE + 0x2003;
constexpr status_t B_LAUNCH_FAILED = B_GENERAL_ERROR_BASE + 0x2004;
constexpr status_t B_MESSAGE_TOO_BIG = B_GENERAL_ERROR_BASE + 0x2005;

// Errors of the operating system, errno preserved. The base lies far below
// the kit's own codes, and errno values never exceed 4095 on Linux.
constexpr status_t B_POSIX_ERROR_BASE = B_GENERAL_ERROR_BASE + 0x7000;
constexpr status_t B_FROM_ERRNO(int error) { return B_POSIX_ERROR_BASE + error; }

constexpr status_t B_PERMISSION_DENIED = B_FROM_ERRNO(EACCES);
constexpr status_t B_FILE_EXISTS = B_FROM_ERRNO(EEXIST);
constexpr status_t B_ENTRY_NOT_FOUND = B_FROM_ERRNO(ENOENT);
constexpr status_t B_NOT_A_DIRECTORY = B_FROM_ERRNO(ENOTDIR);
constexpr status_t B_IS_A_DIRECTORY = B_FROM_ERRNO(EISDIR);
constexpr status_t B_DIRECTORY_NOT_EMPTY = B_FROM_ERRNO(ENOTEMPTY);
constexpr status_t B_NAME_TOO_LONG = B_FROM_ERRNO(ENAMETOOLONG);
constexpr status_t B_LINK_LIMIT = B_FROM_ERRNO(ELOOP);
constexpr status_t B_DEVICE_FULL = B_FROM_ERRNO(ENOSPC);
constexpr status_t B_READ_ONLY_DEVICE = B_FROM_ERRNO(EROFS);
constexpr status_t B_CROSS_DEVICE_LINK = B_FROM_ERRNO(EXDEV);
constexpr status_t B_FILE_ERROR = B_FROM_ERRNO(EBADF);
constexpr status_t B_NO_MORE_FDS = B_FROM_ERRNO(EMFILE);
constexpr status_t B_NOT_SUPPORTED = B_FROM_ERRNO(ENOTSUP);
constexpr status_t B_ATTR_NOT_FOUND = B_FROM_ERRNO(ENODATA);
constexpr status_t B_FILE_TOO_LARGE = B_FROM_ERRNO(EFBIG);
constexpr status_t B_DEV_NOT_READY = B_FROM_ERRNO(ENXIO);

// The status for the errno a failed system call left behind.
[[nodiscard]] inline status_t StatusFromErrno()
{
	return errno == 0 ? B_ERROR : B_FROM_ERRNO(errno);
}

// The errno a status stands for, or EIO for the kit's own errors.
inline int StatusToErrno(status_t status)
{
	if (status == B_OK)
		return 0;
	if (status > B_POSIX_ERROR_BASE && status < B_POSIX_ERROR_BASE + 4096)
		return status - B_POSIX_ERROR_BASE;
	if (status == B_NO_MEMORY)
		return ENOMEM;
	if (status == B_BAD_VALUE)
		return EINVAL;
	if (status == B_TIMED_OUT)
		return ETIMEDOUT;
	return EIO;
}

// A short English description of a status, for logs and test output.
const char* strerror_status(status_t status);
