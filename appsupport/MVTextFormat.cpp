#include "MVTextFormat.h"

#include <cstdio>
#include <cstring>

#include "MVLocale.h"

namespace {

constexpr const char* kFlags = "-+ #0";
constexpr const char* kLengthModifiers = "hlLqjzt";
constexpr size_t kMaxLengthModifier = 2;
constexpr const char* kConversions = "diuoxXceEfFgGaAs";

// One directive as the text wrote it, bounds applied.
struct Directive {
	std::string flags;          // each flag once, in the order written
	int32 width = -1;           // -1: none
	int32 precision = -1;       // -1: none
	int32 position = 0;         // argument number from 1; 0: the next one
	char conversion = 0;
};


bool IsDigit(char c)
{
	return c >= '0' && c <= '9';
}


// Reads a run of digits, saturating at limit so that no text can overflow it.
int32 ReadNumber(const char*& cursor, int32 limit)
{
	int32 value = 0;
	while (IsDigit(*cursor)) {
		value = value * 10 + (*cursor - '0');
		if (value > limit)
			value = limit;
		cursor++;
	}
	return value;
}


// Parses the directive after a '%'. On success *end is the first character
// after it; false for anything this formatter does not accept.
bool ParseDirective(const char* start, Directive* directive, const char** end)
{
	const char* cursor = start;

	const char* digits = cursor;
	int32 position = ReadNumber(cursor, 1000000);
	if (cursor != digits && *cursor == '$') {
		if (position == 0)
			return false;
		directive->position = position;
		cursor++;
	} else
		cursor = digits;

	while (*cursor != '\0' && strchr(kFlags, *cursor) != nullptr) {
		if (directive->flags.find(*cursor) == std::string::npos)
			directive->flags += *cursor;
		cursor++;
	}

	if (IsDigit(*cursor))
		directive->width = ReadNumber(cursor, MVTextFormat::kMaxFieldWidth);
	if (*cursor == '.') {
		cursor++;
		directive->precision = ReadNumber(cursor, MVTextFormat::kMaxFieldWidth);
	}

	size_t lengthModifier = 0;
	while (*cursor != '\0' && strchr(kLengthModifiers, *cursor) != nullptr) {
		if (++lengthModifier > kMaxLengthModifier)
			return false;
		cursor++;
	}

	if (*cursor == '\0' || strchr(kConversions, *cursor) == nullptr)
		return false;
	directive->conversion = *cursor;
	*end = cursor + 1;
	return true;
}


bool IsIntegerConversion(char conversion)
{
	return strchr("diuoxX", conversion) != nullptr;
}


bool IsSignedConversion(char conversion)
{
	return conversion == 'd' || conversion == 'i';
}


bool IsFloatConversion(char conversion)
{
	return strchr("eEfFgGaA", conversion) != nullptr;
}


// "%" with the directive's flags that are allowed, its width, its precision
// when usePrecision, a length modifier and a conversion: a directive that
// matches the one value it will be given.
std::string Rebuild(const Directive& directive, const char* allowedFlags, bool usePrecision,
	const char* lengthModifier, char conversion)
{
	std::string result = "%";
	for (char flag : directive.flags) {
		if (strchr(allowedFlags, flag) != nullptr)
			result += flag;
	}
	if (directive.width >= 0)
		result += std::to_string(directive.width);
	if (usePrecision && directive.precision >= 0)
		result += "." + std::to_string(directive.precision);
	result += lengthModifier;
	result += conversion;
	return result;
}


// snprintf of one value with a rebuilt directive, into a string of the
// exact size.
template<typename Value>
std::string Print(const std::string& directive, Value value)
{
	int size = snprintf(nullptr, 0, directive.c_str(), value);
	if (size <= 0)
		return std::string();
	std::string result(size_t(size), '\0');
	snprintf(result.data(), result.size() + 1, directive.c_str(), value);
	return result;
}


std::string FormatString(const Directive& directive, const std::string& text,
	bool usePrecision)
{
	return Print(Rebuild(directive, "-", usePrecision, "", 's'), text.c_str());
}


std::string FormatCharacter(const Directive& directive, const MVTextArgument& argument)
{
	int64 value = argument.IntegerValue();
	if (argument.IsInteger() && value >= 1 && value <= 255)
		return FormatString(directive, std::string(1, char(value)), false);
	return FormatString(directive, argument.AsString(), false);
}


std::string FormatInteger(const Directive& directive, const MVTextArgument& argument)
{
	char conversion = directive.conversion;
	if (IsSignedConversion(conversion)) {
		return Print(Rebuild(directive, "-+ 0", true, "ll", conversion),
			(long long)argument.IntegerValue());
	}

	// An int32 keeps its own 32 bits, so that -1 prints as ffffffff.
	unsigned long long value = argument.GetType() == MVTextArgument::Type::Int32
		? (unsigned long long)uint32(argument.IntegerValue())
		: (unsigned long long)argument.IntegerValue();
	return Print(Rebuild(directive, "-#0", true, "ll", conversion), value);
}


std::string FormatArgument(const Directive& directive, const MVTextArgument* argument)
{
	char conversion = directive.conversion;
	if (argument == nullptr)
		return FormatString(directive, std::string(), false);
	if (conversion == 's')
		return FormatString(directive, argument->AsString(), true);
	if (conversion == 'c')
		return FormatCharacter(directive, *argument);

	switch (argument->GetType()) {
		case MVTextArgument::Type::Int32:
		case MVTextArgument::Type::Int64:
			if (IsIntegerConversion(conversion))
				return FormatInteger(directive, *argument);
			return Print(Rebuild(directive, kFlags, true, "", conversion),
				argument->AsDouble());

		case MVTextArgument::Type::Double:
			if (IsFloatConversion(conversion)) {
				return Print(Rebuild(directive, kFlags, true, "", conversion),
					argument->AsDouble());
			}
			{
				Directive noDecimals = directive;
				noDecimals.precision = 0;
				return Print(Rebuild(noDecimals, "-+ 0", true, "", 'f'),
					argument->AsDouble());
			}

		case MVTextArgument::Type::String:
			break;
	}
	return FormatString(directive, argument->AsString(), false);
}

}	// namespace


std::string MVTextFormat::Format(const char* format, const MVTextArguments& arguments)
{
	std::string result;
	if (format == nullptr)
		return result;

	size_t nextArgument = 0;
	const char* cursor = format;
	while (*cursor != '\0') {
		const char* percent = strchr(cursor, '%');
		if (percent == nullptr) {
			result += cursor;
			break;
		}
		result.append(cursor, size_t(percent - cursor));

		if (percent[1] == '%') {
			result += '%';
			cursor = percent + 2;
			continue;
		}

		Directive directive;
		const char* end = nullptr;
		if (!ParseDirective(percent + 1, &directive, &end)) {
			// Copied as text: the characters after the '%' are read again
			// as plain text, so a directive that follows still works.
			result += '%';
			cursor = percent + 1;
			continue;
		}

		size_t index = directive.position > 0 ? size_t(directive.position - 1)
			: nextArgument++;
		const MVTextArgument* argument = index < arguments.size() ? &arguments[index] : nullptr;
		result += FormatArgument(directive, argument);
		cursor = end;
	}
	return result;
}


std::string MVTextFormat::FormatText(int32 textID, const MVTextArguments& arguments)
{
	return Format(MVLocale::GetInstance()->Text(textID), arguments);
}
