#pragma once

// Message codes that the kit itself sends or understands.

#include <support/SupportDefs.h>

enum : uint32 {
	B_ABOUT_REQUESTED = '_ABR',
	B_ARGV_RECEIVED = '_ARG',
	B_CANCEL = '_CNC',
	B_MESSAGE_NOT_UNDERSTOOD = '_MNU',
	B_NO_REPLY = '_NRP',
	B_PULSE = '_PUL',
	B_QUIT_REQUESTED = '_QRQ',
	B_READY_TO_RUN = '_RTR',
	B_REFS_RECEIVED = '_RRC',
	B_REPLY = '_RPY',
	B_SIMPLE_DATA = 'DATA',
	B_NODE_MONITOR = 'NDMN',
	B_GET_PROPERTY = 'PGET',
	B_SET_PROPERTY = 'PSET',
};
