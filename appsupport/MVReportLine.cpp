#include "MVReportLine.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "MVLocale.h"
#include "MVTextFormat.h"

namespace {

constexpr char kEndMark[4] = {'m', 'v', 'e', 'm'};

enum class Kind { Integer, Floating, String };

struct Conversion {
	int32 argument;
	type_code type;
	Kind kind;
};

bool IsDigit(char c)
{
	return c >= '0' && c <= '9';
}

// The type an integer conversion reads with its length modifier.
type_code IntegerType(const std::string& length)
{
	if (length == "hh")
		return B_INT8_TYPE;
	if (length == "h")
		return B_INT16_TYPE;
	if (length.empty() || length == "z" || length == "t")
		return B_INT32_TYPE;
	return B_INT64_TYPE;
}

// Reads one directive after its '%'; false for anything that takes no
// argument (as MVTextFormat copies it unchanged). *position moves past
// what was read.
bool ParseDirective(const char* text, size_t* position, int32* explicitIndex,
	type_code* type, Kind* kind)
{
	size_t i = *position;
	*explicitIndex = -1;
	size_t digitsStart = i;
	while (IsDigit(text[i]))
		i++;
	if (text[i] == '$' && i > digitsStart) {
		*explicitIndex = atoi(text + digitsStart) - 1;
		i++;
	} else
		i = digitsStart;
	while (text[i] != '\0' && strchr("-+ #0", text[i]) != nullptr)
		i++;
	while (IsDigit(text[i]))
		i++;
	if (text[i] == '.') {
		i++;
		while (IsDigit(text[i]))
			i++;
	}
	std::string length;
	while (text[i] != '\0' && strchr("hlLqjzt", text[i]) != nullptr)
		length += text[i++];
	char conversion = text[i];
	*position = conversion != '\0' ? i + 1 : i;
	if (conversion != '\0' && strchr("diuoxXc", conversion) != nullptr) {
		*type = IntegerType(length);
		*kind = Kind::Integer;
		return true;
	}
	if (conversion != '\0' && strchr("eEfFgGaA", conversion) != nullptr) {
		*type = B_DOUBLE_TYPE;
		*kind = Kind::Floating;
		return true;
	}
	if (conversion == 's') {
		*type = B_STRING_TYPE;
		*kind = Kind::String;
		return true;
	}
	return false;
}

// Argument index to the type its first conversion reads.
std::map<int32, Conversion> ParseConversions(const char* text)
{
	std::map<int32, Conversion> conversions;
	if (text == nullptr)
		return conversions;
	int32 next = 0;
	size_t i = 0;
	while (text[i] != '\0') {
		if (text[i] != '%') {
			i++;
			continue;
		}
		i++;
		if (text[i] == '%') {
			i++;
			continue;
		}
		int32 explicitIndex;
		type_code type;
		Kind kind;
		if (!ParseDirective(text, &i, &explicitIndex, &type, &kind))
			continue;
		int32 index = explicitIndex >= 0 ? explicitIndex : next++;
		conversions.emplace(index, Conversion{index, type, kind});
	}
	return conversions;
}

bool Suits(const MVTextArgument& argument, Kind kind)
{
	switch (kind) {
		case Kind::Integer:
			return argument.IsInteger();
		case Kind::Floating:
			return argument.GetType() != MVTextArgument::Type::String;
		case Kind::String:
			return argument.GetType() == MVTextArgument::Type::String;
	}
	return false;
}

} // namespace

MVReportLine::MVReportLine(const char* text, const MVTextArguments& arguments)
{
	std::map<int32, Conversion> conversions = ParseConversions(text);
	for (size_t index = 0; index < arguments.size(); index++) {
		const MVTextArgument& argument = arguments[index];
		auto found = conversions.find(int32(index));
		type_code wanted = 0;
		if (found != conversions.end() && Suits(argument, found->second.kind))
			wanted = found->second.type;
		_AddArgument(argument, wanted);
	}
}

void MVReportLine::_AddArgument(const MVTextArgument& argument, type_code wanted)
{
	// Storing can only fail at the caps, which a worker's line never reaches;
	// such a line is then shorter, never wrong.
	status_t status = B_OK;
	switch (wanted) {
		case B_INT8_TYPE:
			status = AddInt8(int8(argument.IntegerValue()));
			break;
		case B_INT16_TYPE:
			status = AddInt16(int16(argument.IntegerValue()));
			break;
		case B_INT32_TYPE:
			status = AddInt32(int32(argument.IntegerValue()));
			break;
		case B_INT64_TYPE:
			status = AddInt64(argument.IntegerValue());
			break;
		case B_DOUBLE_TYPE:
			status = AddDouble(argument.AsDouble());
			break;
		case B_STRING_TYPE:
			status = AddString(argument.AsString().c_str());
			break;
		default:
			switch (argument.GetType()) {
				case MVTextArgument::Type::Int32:
					status = AddInt32(int32(argument.IntegerValue()));
					break;
				case MVTextArgument::Type::Int64:
					status = AddInt64(argument.IntegerValue());
					break;
				case MVTextArgument::Type::Double:
					status = AddDouble(argument.AsDouble());
					break;
				case MVTextArgument::Type::String:
					status = AddString(argument.AsString().c_str());
					break;
			}
	}
	(void)status;
}

status_t MVReportLine::AddInt8(int8 value)
{
	return _Add(B_INT8_TYPE, &value, sizeof(value));
}

status_t MVReportLine::AddInt16(int16 value)
{
	return _Add(B_INT16_TYPE, &value, sizeof(value));
}

status_t MVReportLine::AddInt32(int32 value)
{
	return _Add(B_INT32_TYPE, &value, sizeof(value));
}

status_t MVReportLine::AddInt64(int64 value)
{
	return _Add(B_INT64_TYPE, &value, sizeof(value));
}

status_t MVReportLine::AddFloat(float value)
{
	return _Add(B_FLOAT_TYPE, &value, sizeof(value));
}

status_t MVReportLine::AddDouble(double value)
{
	return _Add(B_DOUBLE_TYPE, &value, sizeof(value));
}

status_t MVReportLine::AddString(const char* value)
{
	if (value == nullptr)
		value = "";
	return _Add(B_STRING_TYPE, value, strlen(value) + 1);
}

status_t MVReportLine::_Add(type_code type, const void* data, size_t size)
{
	if (Count() >= kMaxValues || FlattenedSize() + size + kItemOverhead > kMaxFlattenedSize)
		return B_BUFFER_OVERFLOW;
	fValues.push_back(Value{type, std::string(static_cast<const char*>(data), size)});
	return B_OK;
}

type_code MVReportLine::TypeAt(int32 index) const
{
	if (index < 0 || index >= Count())
		return 0;
	return fValues[index].type;
}

status_t MVReportLine::Get(void* buffer, size_t size, int32 index) const
{
	if (index < 0 || index >= Count())
		return B_BAD_INDEX;
	const std::string& bytes = fValues[index].bytes;
	if (buffer == nullptr || size < bytes.size())
		return B_BUFFER_OVERFLOW;
	memcpy(buffer, bytes.data(), bytes.size());
	return B_OK;
}

MVTextArguments MVReportLine::Arguments() const
{
	MVTextArguments arguments;
	for (const Value& value : fValues) {
		const char* data = value.bytes.data();
		switch (value.type) {
			case B_INT8_TYPE:
				arguments.emplace_back(int32(int8(data[0])));
				break;
			case B_INT16_TYPE: {
				int16 number;
				memcpy(&number, data, sizeof(number));
				arguments.emplace_back(int32(number));
				break;
			}
			case B_INT32_TYPE: {
				int32 number;
				memcpy(&number, data, sizeof(number));
				arguments.emplace_back(number);
				break;
			}
			case B_INT64_TYPE: {
				int64 number;
				memcpy(&number, data, sizeof(number));
				arguments.emplace_back(number);
				break;
			}
			case B_FLOAT_TYPE: {
				float number;
				memcpy(&number, data, sizeof(number));
				arguments.emplace_back(double(number));
				break;
			}
			case B_DOUBLE_TYPE: {
				double number;
				memcpy(&number, data, sizeof(number));
				arguments.emplace_back(number);
				break;
			}
			default:
				arguments.emplace_back(std::string(data));
		}
	}
	return arguments;
}

std::string MVReportLine::Render(int32 textID) const
{
	return MVTextFormat::FormatText(textID, Arguments());
}

size_t MVReportLine::ValueSize(type_code type)
{
	switch (type) {
		case B_INT8_TYPE:
			return 1;
		case B_INT16_TYPE:
			return 2;
		case B_INT32_TYPE:
		case B_FLOAT_TYPE:
			return 4;
		case B_INT64_TYPE:
		case B_DOUBLE_TYPE:
			return 8;
		default:
			return 0;
	}
}

size_t MVReportLine::FlattenedSize() const
{
	size_t size = sizeof(kEndMark);
	for (const Value& value : fValues)
		size += value.bytes.size() + kItemOverhead;
	return size;
}

std::string MVReportLine::Flatten() const
{
	std::string flat;
	flat.reserve(FlattenedSize());
	for (const Value& value : fValues) {
		uint32 length = uint32(value.bytes.size() + kItemOverhead);
		flat.append(reinterpret_cast<const char*>(&length), sizeof(length));
		flat.append(reinterpret_cast<const char*>(&value.type), sizeof(value.type));
		flat.append(value.bytes);
		flat.append(3, '\0');
	}
	flat.append(kEndMark, sizeof(kEndMark));
	return flat;
}

status_t MVReportLine::Unflatten(const void* data, size_t size)
{
	fValues.clear();
	if (data == nullptr || size > kMaxFlattenedSize)
		return B_BAD_DATA;
	const char* bytes = static_cast<const char*>(data);
	size_t offset = 0;
	std::vector<Value> values;
	while (true) {
		size_t remaining = size - offset;
		if (remaining == sizeof(kEndMark) && memcmp(bytes + offset, kEndMark, 4) == 0)
			break;
		if (remaining < kItemOverhead + 1 || int32(values.size()) >= kMaxValues)
			return B_BAD_DATA;
		uint32 length;
		type_code type;
		memcpy(&length, bytes + offset, sizeof(length));
		memcpy(&type, bytes + offset + 4, sizeof(type));
		if (length <= kItemOverhead || length > remaining)
			return B_BAD_DATA;
		size_t valueSize = length - kItemOverhead;
		const char* value = bytes + offset + 8;
		if (type == B_STRING_TYPE) {
			// The string must end with its zero and hold no other.
			if (memchr(value, '\0', valueSize) != value + valueSize - 1)
				return B_BAD_DATA;
		} else if (ValueSize(type) == 0 || ValueSize(type) != valueSize)
			return B_BAD_DATA;
		values.push_back(Value{type, std::string(value, valueSize)});
		offset += length;
	}
	fValues = std::move(values);
	return B_OK;
}
