#pragma once

// Type codes of message fields and attributes. The values are the
// four-character codes the names stand for; they are stored in flattened
// messages and in typed attributes, so they never change.

#include "SupportDefs.h"

enum : type_code {
	B_ANY_TYPE = 0x414e5954,          // 'ANYT'
	B_BOOL_TYPE = 0x424f4f4c,         // 'BOOL'
	B_CHAR_TYPE = 0x43484152,         // 'CHAR'
	B_DOUBLE_TYPE = 0x44424c45,       // 'DBLE'
	B_FLOAT_TYPE = 0x464c4f54,        // 'FLOT'
	B_INT64_TYPE = 0x4c4c4e47,        // 'LLNG'
	B_INT32_TYPE = 0x4c4f4e47,        // 'LONG'
	B_INT16_TYPE = 0x53485254,        // 'SHRT'
	B_INT8_TYPE = 0x42595445,         // 'BYTE'
	B_UINT64_TYPE = 0x554c4c47,       // 'ULLG'
	B_UINT32_TYPE = 0x554c4e47,       // 'ULNG'
	B_UINT16_TYPE = 0x55534854,       // 'USHT'
	B_UINT8_TYPE = 0x55425954,        // 'UBYT'
	B_STRING_TYPE = 0x43535452,       // 'CSTR'
	B_MESSAGE_TYPE = 0x4d534747,      // 'MSGG'
	B_MESSENGER_TYPE = 0x4d534e47,    // 'MSNG'
	B_REF_TYPE = 0x52524546,          // 'RREF'
	B_POINTER_TYPE = 0x504e5452,      // 'PNTR'
	B_RAW_TYPE = 0x52415754,          // 'RAWT'
	B_RECT_TYPE = 0x52454354,         // 'RECT'
	B_POINT_TYPE = 0x42504e54,        // 'BPNT'
	B_TIME_TYPE = 0x54494d45,         // 'TIME'
	B_SIZE_T_TYPE = 0x53495a54,       // 'SIZT'
	B_SSIZE_T_TYPE = 0x53535a54,      // 'SSZT'
	B_OFF_T_TYPE = 0x4f464654,        // 'OFFT'
	B_MIME_TYPE = 0x4d494d45,         // 'MIME'
	B_MIME_STRING_TYPE = 0x4d494d53,  // 'MIMS'
	B_ASCII_TYPE = 0x54455854,        // 'TEXT'
};
