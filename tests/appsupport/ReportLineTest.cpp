// Report lines: the arguments of a text kept with their types, their
// flattened form, and strict reading of flattened lines from other processes.

#include <gtest/gtest.h>

#include <cstring>

#include <support/TypeConstants.h>

#include "MVReportLine.h"

namespace {

std::string Item(uint32 length, type_code type, const std::string& value)
{
	std::string item(reinterpret_cast<const char*>(&length), 4);
	item.append(reinterpret_cast<const char*>(&type), 4);
	item += value;
	item.append(3, '\0');
	return item;
}

} // namespace

// The conversions of the text decide the stored types; arguments that do not
// suit their conversion, or that no conversion takes, keep their own type.
TEST(ReportLineTest, ConversionsDecideTheStoredTypes)
{
	MVReportLine line("%s has %hhd/%hd/%d/%lld items, %.1f%% and %s",
		{ "job", int32(1), int32(2), int32(3), int32(4), int32(50), int32(6), "extra" });
	ASSERT_EQ(line.Count(), 8);
	EXPECT_EQ(line.TypeAt(0), B_STRING_TYPE);
	EXPECT_EQ(line.TypeAt(1), B_INT8_TYPE);
	EXPECT_EQ(line.TypeAt(2), B_INT16_TYPE);
	EXPECT_EQ(line.TypeAt(3), B_INT32_TYPE);
	EXPECT_EQ(line.TypeAt(4), B_INT64_TYPE);
	EXPECT_EQ(line.TypeAt(5), B_DOUBLE_TYPE);
	// A number for "%s" keeps its type rather than turning into text.
	EXPECT_EQ(line.TypeAt(6), B_INT32_TYPE);
	EXPECT_EQ(line.TypeAt(7), B_STRING_TYPE);
	EXPECT_EQ(line.TypeAt(8), 0u);

	int64 fourth = 0;
	ASSERT_EQ(line.Get(&fourth, sizeof(fourth), 4), B_OK);
	EXPECT_EQ(fourth, 4);
	int8 small = 0;
	EXPECT_EQ(line.Get(&small, 0, 1), B_BUFFER_OVERFLOW);
	EXPECT_EQ(line.Get(&small, 1, 9), B_BAD_INDEX);

	// A string for "%d" is not lost as 0; positional conversions type the
	// argument they name.
	MVReportLine mismatched("%d %2$lld", { "text", int32(7) });
	EXPECT_EQ(mismatched.TypeAt(0), B_STRING_TYPE);
	EXPECT_EQ(mismatched.TypeAt(1), B_INT64_TYPE);
	// Without a text every argument keeps its type.
	MVReportLine untyped(nullptr, { 1.5, int64(9) });
	EXPECT_EQ(untyped.TypeAt(0), B_DOUBLE_TYPE);
	EXPECT_EQ(untyped.TypeAt(1), B_INT64_TYPE);
}

// The flattened form has the documented layout and reads back equal, and the
// values render again through the text's format.
TEST(ReportLineTest, FlattensAndRendersAgain)
{
	MVReportLine line("backup '%s' version %x.%02x", { "Daily", int32(1), int32(1) });
	std::string flat = line.Flatten();
	EXPECT_EQ(flat.size(), line.FlattenedSize());
	uint32 firstLength;
	memcpy(&firstLength, flat.data(), 4);
	EXPECT_EQ(firstLength, 6u + 11u);
	EXPECT_EQ(flat.substr(flat.size() - 4), "mvem");

	MVReportLine back;
	ASSERT_EQ(back.Unflatten(flat.data(), flat.size()), B_OK);
	EXPECT_EQ(back, line);
	EXPECT_EQ(back.Count(), 3);

	ASSERT_EQ(back.AddFloat(2.5f), B_OK);
	ASSERT_EQ(back.AddString(nullptr), B_OK);
	MVReportLine again;
	std::string second = back.Flatten();
	ASSERT_EQ(again.Unflatten(second.data(), second.size()), B_OK);
	EXPECT_EQ(again, back);
	EXPECT_EQ(again.TypeAt(3), B_FLOAT_TYPE);
}

// Malformed lines are errors that leave the line empty, never a crash.
TEST(ReportLineTest, RejectsMalformedLines)
{
	int32 value = 5;
	std::string good = Item(15, B_INT32_TYPE, std::string(reinterpret_cast<char*>(&value), 4))
		+ "mvem";
	MVReportLine line;
	ASSERT_EQ(line.Unflatten(good.data(), good.size()), B_OK);
	EXPECT_EQ(line.Count(), 1);

	const std::vector<std::string> bad = {
		"",                                                     // no end mark
		"mvex",                                                 // wrong end mark
		good.substr(0, good.size() - 1),                        // cut short
		good + "x",                                             // bytes after the end
		Item(99, B_INT32_TYPE, std::string(4, '\0')) + "mvem",  // length beyond the data
		Item(11, B_INT32_TYPE, "") + "mvem",                    // no value
		Item(13, B_INT32_TYPE, "ab") + "mvem",                  // wrong size for the type
		Item(15, 'WHAT', "abcd") + "mvem",                      // unknown type
		Item(14, B_STRING_TYPE, "abc") + "mvem",                // string without its zero
		Item(14, B_STRING_TYPE, std::string("a\0b", 3)) + "mvem", // zero inside a string
	};
	for (const std::string& data : bad) {
		MVReportLine parsed;
		ASSERT_EQ(parsed.AddInt32(1), B_OK);
		EXPECT_EQ(parsed.Unflatten(data.data(), data.size()), B_BAD_DATA) << data.size();
		EXPECT_EQ(parsed.Count(), 0);
	}

	std::string tooMany;
	for (int32 i = 0; i <= MVReportLine::kMaxValues; i++)
		tooMany += Item(12, B_INT8_TYPE, std::string(1, 'x'));
	tooMany += "mvem";
	EXPECT_EQ(line.Unflatten(tooMany.data(), tooMany.size()), B_BAD_DATA);
}
