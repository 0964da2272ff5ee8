#pragma once

// MVReportLine: one line of a job report as a text id's arguments, each kept
// with its type, so that every program renders the line in its own language.
// The text id itself travels beside the line ("text_id").
//
// Flattened form (type code 'mvrl'), integers in the machine's byte order:
//
//   item, repeated   uint32 item length (= value size + 11), uint32 type code,
//                    the value, 3 zero bytes
//   end              the four characters "mvem"
//
// Value types and sizes: 'BYTE' 1, 'SHRT' 2, 'LONG' 4, 'LLNG' 8, 'FLOT' 4,
// 'DBLE' 8, 'CSTR' the string and its terminating zero.
//
// Flattened lines come from workers, report files and other processes:
// Unflatten() checks every length against what remains and caps the line at
// kMaxFlattenedSize and kMaxValues, so a malformed line is an error and never
// a crash. A value object; copies are independent; not locked.

#include <string>
#include <vector>

#include <support/Errors.h>
#include <support/SupportDefs.h>
#include <support/TypeConstants.h>

#include "MVTextArgument.h"

class MVReportLine {
public:
	static constexpr type_code kTypeCode = 'mvrl';
	static constexpr size_t kItemOverhead = 11;
	static constexpr size_t kMaxFlattenedSize = 64 * 1024;
	static constexpr int32 kMaxValues = 256;

	MVReportLine() = default;
	// Stores the arguments of a text: each argument that a printf-style
	// conversion of the text takes is stored with the type that conversion
	// reads ("%hd" 'SHRT', "%d" 'LONG', "%lld" 'LLNG', "%f" 'DBLE', "%s"
	// 'CSTR'); an argument that no conversion takes, or whose kind does not
	// suit its conversion (a string for "%d"), keeps its own type, so that
	// no value is lost. A null text stores every argument by its own type.
	MVReportLine(const char* text, const MVTextArguments& arguments);

	[[nodiscard]] status_t AddInt8(int8 value);
	[[nodiscard]] status_t AddInt16(int16 value);
	[[nodiscard]] status_t AddInt32(int32 value);
	[[nodiscard]] status_t AddInt64(int64 value);
	[[nodiscard]] status_t AddFloat(float value);
	[[nodiscard]] status_t AddDouble(double value);
	// A null string is stored as "".
	[[nodiscard]] status_t AddString(const char* value);

	int32 Count() const { return int32(fValues.size()); }
	// The type of value index, or 0 when there is none.
	type_code TypeAt(int32 index) const;
	// Copies value index into buffer: B_BAD_INDEX without the value,
	// B_BUFFER_OVERFLOW (nothing copied) when size is below its size.
	[[nodiscard]] status_t Get(void* buffer, size_t size, int32 index) const;

	// The values as arguments for MVTextFormat.
	MVTextArguments Arguments() const;
	// The line in the current language (MVLocale).
	std::string Render(int32 textID) const;

	size_t FlattenedSize() const;
	std::string Flatten() const;
	// Replaces the values; on an error the line is empty.
	[[nodiscard]] status_t Unflatten(const void* data, size_t size);

	bool operator==(const MVReportLine& other) const { return fValues == other.fValues; }

	static size_t ValueSize(type_code type);

private:
	struct Value {
		type_code type;
		std::string bytes;
		bool operator==(const Value& other) const = default;
	};

	[[nodiscard]] status_t _Add(type_code type, const void* data, size_t size);
	void _AddArgument(const MVTextArgument& argument, type_code wanted);

	std::vector<Value> fValues;
};
