#include "MVTextFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "MVDefaultTexts.h"
#include "MVLocale.h"

namespace {

std::string Format(const char* format, const MVTextArguments& arguments = {})
{
	return MVTextFormat::Format(format, arguments);
}

}	// namespace


// The placeholders of the built-in texts print as printf would, with a BeOS
// "%ld" taking an int32 and "%Ld" an int64.
TEST(TextFormatTest, PlaceholdersOfTheTexts)
{
	EXPECT_EQ(Format("Media #%ld of '%s' full!", { int32(3), "Tape" }), "Media #3 of 'Tape' full!");
	EXPECT_EQ(Format("%Ld / %lld", { int64(5000000000LL), int64(-5000000000LL) }),
		"5000000000 / -5000000000");
	EXPECT_EQ(Format("%ld", { int32(INT32_MIN) }), "-2147483648");
	EXPECT_EQ(Format("version %x.%02x", { int32(2), int32(5) }), "version 2.05");
	EXPECT_EQ(Format("%d backups", { int32(12) }), "12 backups");
	EXPECT_EQ(Format("%.1f MB %.2f KB", { 1.25, 2.0 }), "1.2 MB 2.00 KB");
	EXPECT_EQ(Format("%2.1f%%", { 7.25 }), "7.2%");
	EXPECT_EQ(Format("%02ld:%02ld:%02ld", { int32(1), int32(2), int32(30) }), "01:02:30");
	EXPECT_EQ(Format("plain 100%% text"), "plain 100% text");
	EXPECT_EQ(Format("%-5s|%5s|%.2s", { "ab", "cd", "efgh" }), "ab   |   cd|ef");
	EXPECT_EQ(Format("%+d % d %o %#x %X %e %g", { int32(5), int32(5), int32(8), int32(255),
		int32(255), 1500.0, 0.5 }), "+5  5 10 0xff FF 1.500000e+03 0.5");
}


// Each argument prints by its own type, whatever the directive claims.
TEST(TextFormatTest, MismatchedArguments)
{
	EXPECT_EQ(Format("%ld", { int64(5000000000LL) }), "5000000000");
	EXPECT_EQ(Format("%s", { int32(-42) }), "-42");
	EXPECT_EQ(Format("%s", { 2.5 }), "2.5");
	EXPECT_EQ(Format("[%ld]", { "text" }), "[text]");
	EXPECT_EQ(Format("[%05.1f]", { "ab" }), "[   ab]");
	EXPECT_EQ(Format("%ld", { 2.75 }), "3");
	EXPECT_EQ(Format("%05ld", { -2.0 }), "-0002");
	EXPECT_EQ(Format("%x", { 255.0 }), "255");
	EXPECT_EQ(Format("%.1f", { int32(3) }), "3.0");
	EXPECT_EQ(Format("%x", { int32(-1) }), "ffffffff");
	EXPECT_EQ(Format("%x", { int64(-1) }), "ffffffffffffffff");
	EXPECT_EQ(Format("%u", { uint32(4000000000u) }), "4000000000");
	EXPECT_EQ(Format("%c%c%c", { int32('A'), int32(0), "xy" }), "A0xy");
	EXPECT_EQ(Format("%#s %0s %+s", { "a", "b", "c" }), "a b c");
	EXPECT_EQ(Format("%f %f", { std::numeric_limits<double>::infinity(), NAN }), "inf nan");
	EXPECT_EQ(Format("%d", { std::numeric_limits<double>::quiet_NaN() }), "nan");
}


// Missing arguments print as empty text within their width; extra ones are
// ignored; "%N$" picks an argument without moving the order on.
TEST(TextFormatTest, ArgumentCountAndPositions)
{
	EXPECT_EQ(Format("%s and %ld.", { "one" }), "one and .");
	EXPECT_EQ(Format("[%5ld][%-3s]"), "[     ][   ]");
	EXPECT_EQ(Format("%s", { "a", "b", "c" }), "a");
	EXPECT_EQ(Format("%2$s %1$s", { "world", "hello" }), "hello world");
	EXPECT_EQ(Format("%1$s %1$s %s %s", { "x", "y" }), "x x x y");
	EXPECT_EQ(Format("[%9$s][%3$05ld]", { "a", "b", int32(7) }), "[][00007]");
	EXPECT_EQ(Format("%99999999999$s", { "a" }), "");
	EXPECT_EQ(Format("%0$s", { "a" }), "%0$s");
	EXPECT_EQ(Format(nullptr, { "a" }), "");
	EXPECT_EQ(Format(""), "");
}


// Directives that could read or write memory, or that the formatter does not
// know, are copied as text and take no argument.
TEST(TextFormatTest, HostileDirectivesStayText)
{
	EXPECT_EQ(Format("%n%s", { "x" }), "%nx");
	EXPECT_EQ(Format("%hhn%ln%s", { "x" }), "%hhn%ln" "x");
	EXPECT_EQ(Format("%*d|%s", { int32(5), "x" }), "%*d|5");
	EXPECT_EQ(Format("%.*f|%d", { int32(2), int32(9) }), "%.*f|2");
	EXPECT_EQ(Format("%p %k %hhhd %s", { "x" }), "%p %k %hhhd x");
	EXPECT_EQ(Format("%5%|%s", { "x" }), "%5%|x");
	EXPECT_EQ(Format("100%"), "100%");
	EXPECT_EQ(Format("%-05."), "%-05.");
	EXPECT_EQ(Format("%%%"), "%%");
	EXPECT_EQ(Format("%!%s", { "x" }), "%!x");
}


// Width and precision are capped, so no text makes a huge line.
TEST(TextFormatTest, FieldSizesAreCapped)
{
	constexpr size_t kCap = MVTextFormat::kMaxFieldWidth;
	EXPECT_EQ(Format("%999999999999999999d", { int32(1) }).size(), kCap);
	EXPECT_EQ(Format("%2147483648s", { "x" }).size(), kCap);
	EXPECT_EQ(Format("%.99999999f", { 1.0 }).size(), kCap + 2);
	EXPECT_EQ(Format("%.4000000000d", { int32(1) }).size(), kCap);
	// A huge value is as long as its digits, no more.
	EXPECT_EQ(Format("%.0f", { 1e308 }).size(), 309u);
}


// Random formats from the characters directives are made of, with random
// arguments, never crash and stay within the bound the caps give.
TEST(TextFormatTest, RandomFormatsStayBounded)
{
	const std::string alphabet = "%%%%-+ #0123456789.*$hlLqjztdiuoxXcsfeEgGaApnk%";
	std::mt19937 random(20240601);
	const MVTextArguments pool = { int32(-1), int64(INT64_MIN), 1e308, -0.0,
		std::string(300, 's'), "", int32(65), NAN };
	for (int round = 0; round < 20000; round++) {
		std::string format;
		size_t length = random() % 24;
		for (size_t i = 0; i < length; i++)
			format += alphabet[random() % alphabet.size()];
		MVTextArguments arguments;
		size_t count = random() % 4;
		for (size_t i = 0; i < count; i++)
			arguments.push_back(pool[random() % pool.size()]);

		std::string text = Format(format.c_str(), arguments);
		// Per directive: a capped field, a 309-digit number with capped
		// decimals, or the longest string argument.
		EXPECT_LE(text.size(), length * (2 * MVTextFormat::kMaxFieldWidth + 320))
			<< format;
	}
}


// A text id is formatted in the current language.
TEST(TextFormatTest, FormatsTextIds)
{
	delete MVLocale::GetInstance();
	InstallDefaultTexts(MVLocale::GetInstance());
	EXPECT_EQ(MVTextFormat::FormatText(9, { int32(12) }), "Files saved:\t\t12");
	EXPECT_EQ(MVTextFormat::FormatText(45, { int64(1) << 40, int64(7) }),
		"Free space needed: 1099511627776 Bytes, space available: 7 Bytes");
	EXPECT_EQ(MVTextFormat::FormatText(4, { int32(1) }), "");
	delete MVLocale::GetInstance();
}
