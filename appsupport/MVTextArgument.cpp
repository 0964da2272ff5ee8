#include "MVTextArgument.h"

#include <cinttypes>
#include <cstdio>


MVTextArgument::MVTextArgument(uint64 value)
{
	if (value <= uint64(INT64_MAX))
		fValue = int64(value);
	else
		fValue = double(value);
}


int64 MVTextArgument::IntegerValue() const
{
	if (const int32* value = std::get_if<int32>(&fValue))
		return *value;
	if (const int64* value = std::get_if<int64>(&fValue))
		return *value;
	return 0;
}


double MVTextArgument::AsDouble() const
{
	if (const double* value = std::get_if<double>(&fValue))
		return *value;
	if (IsInteger())
		return double(IntegerValue());
	return 0.0;
}


std::string MVTextArgument::AsString() const
{
	if (const std::string* value = std::get_if<std::string>(&fValue))
		return *value;

	char buffer[64];
	if (IsInteger())
		snprintf(buffer, sizeof(buffer), "%" PRId64, IntegerValue());
	else
		snprintf(buffer, sizeof(buffer), "%g", std::get<double>(fValue));
	return buffer;
}
