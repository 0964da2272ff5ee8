#pragma once

// MVTextArgument: one argument of a text with placeholders (a 32-bit or
// 64-bit integer, a floating-point number or a string), carried together
// with its type so that MVTextFormat can format it by what it is rather than
// by what an untrusted text claims it is.
//
// A small value; copies are independent. A null string becomes "". Every
// integer and floating-point type converts implicitly, so that a list reads
// { int32(count), path, 2.5 }.

#include <string>
#include <variant>
#include <vector>

#include <support/SupportDefs.h>

class MVTextArgument {
public:
	enum class Type { Int32, Int64, Double, String };

	MVTextArgument(int32 value) : fValue(value) {}
	MVTextArgument(uint32 value) : fValue(int64(value)) {}
	MVTextArgument(int64 value) : fValue(value) {}
	MVTextArgument(long long value) : fValue(int64(value)) {}
	// A value beyond the int64 range is kept as a double.
	MVTextArgument(uint64 value);
	MVTextArgument(double value) : fValue(value) {}
	MVTextArgument(const char* value) : fValue(std::string(value != nullptr ? value : "")) {}
	MVTextArgument(std::string value) : fValue(std::move(value)) {}

	Type GetType() const { return Type(fValue.index()); }
	bool IsInteger() const { return GetType() == Type::Int32 || GetType() == Type::Int64; }

	// The value of an integer argument, widened; 0 for the other types.
	int64 IntegerValue() const;
	// The value as a number: integers convert, a string gives 0.
	double AsDouble() const;
	// The value as text: numbers in decimal (a double as "%g" writes it).
	std::string AsString() const;

	bool operator==(const MVTextArgument& other) const { return fValue == other.fValue; }

private:
	// The order matches Type.
	std::variant<int32, int64, double, std::string> fValue;
};

using MVTextArguments = std::vector<MVTextArgument>;
