// The add-on files as a loader sees them: both entry points of each file
// make working objects, which are deleted before the image is unloaded.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <kernel/image.h>

#include "CruncherAddOn.h"
#include "Lzrw1TestData.h"

namespace {

class LoadedAddOn {
public:
	explicit LoadedAddOn(const char* name)
		:
		fImage(load_add_on((std::string(MORVANE_COMPRESSOR_ADDON_DIR) + "/" + name).c_str()))
	{
	}

	~LoadedAddOn()
	{
		if (fImage > 0) {
			EXPECT_EQ(unload_add_on(fImage), B_OK);
		}
	}

	image_id Image() const { return fImage; }

	MVCruncher* Instantiate() const
	{
		void* location = nullptr;
		if (get_image_symbol(fImage, kInstantiateCruncherSymbol, B_SYMBOL_TYPE_TEXT,
				&location) != B_OK)
			return nullptr;
		return reinterpret_cast<InstantiateCruncherFunction>(location)();
	}

	MVCruncher* InstantiateFromArchive(BMessage* archive) const
	{
		void* location = nullptr;
		if (get_image_symbol(fImage, kInstantiateCruncherFromArchiveSymbol, B_SYMBOL_TYPE_TEXT,
				&location) != B_OK)
			return nullptr;
		return reinterpret_cast<InstantiateCruncherFromArchiveFunction>(location)(archive);
	}

private:
	image_id fImage;
};

// Compresses and restores a block through an object of an add-on; the
// packed length.
uint32 RoundTrip(MVCruncher* cruncher, const Bytes& input)
{
	GuardedBuffer packed(input.size() + 1);
	uint32 length = cruncher->Compress(input.data(), packed.Data(), uint32(input.size()));
	EXPECT_TRUE(packed.GuardIntact());
	GuardedBuffer restored(kCruncherDestinationSize);
	EXPECT_EQ(cruncher->Decompress(packed.Data(), restored.Data(), length), input.size());
	EXPECT_EQ(restored.Prefix(input.size()), input);
	return length;
}

}	// namespace

TEST(CompressorAddOnTest, NoneAddOn)
{
	LoadedAddOn addOn("MVNone");
	ASSERT_GT(addOn.Image(), 0) << add_on_error_text();

	std::unique_ptr<MVCruncher> cruncher(addOn.Instantiate());
	ASSERT_NE(cruncher, nullptr);
	EXPECT_STREQ(cruncher->MenuName(), "None");
	Bytes input = MakeBlock(BlockKind::Text, 5000);
	EXPECT_EQ(RoundTrip(cruncher.get(), input), input.size());

	BMessage archive;
	ASSERT_EQ(cruncher->Archive(&archive), B_OK);
	EXPECT_STREQ(archive.GetString("class", 1, nullptr), "MVNone");
	cruncher.reset();
}

// The archive given to instantiate2_mvcruncher is not read: the object
// starts with empty settings.
TEST(CompressorAddOnTest, Lzrw1AddOn)
{
	LoadedAddOn addOn("MVLZRW1");
	ASSERT_GT(addOn.Image(), 0) << add_on_error_text();

	BMessage archive;
	archive.AddString("class", "MVCruncher");
	archive.AddString("class", "MVLZRW1");
	archive.AddString("MVCRUNAME", "from the archive");
	std::unique_ptr<MVCruncher> cruncher(addOn.InstantiateFromArchive(&archive));
	ASSERT_NE(cruncher, nullptr);
	EXPECT_STREQ(cruncher->MenuName(), "LZRW1");
	EXPECT_EQ(cruncher->Name(), nullptr);
	Bytes input = MakeBlock(BlockKind::Text, kCruncherMaxBlockLength);
	EXPECT_LT(RoundTrip(cruncher.get(), input), input.size() / 2);

	std::unique_ptr<MVCruncher> second(addOn.Instantiate());
	ASSERT_NE(second, nullptr);
	Bytes random = MakeBlock(BlockKind::Random, 3000);
	EXPECT_EQ(RoundTrip(second.get(), random), random.size() + 1);
	second.reset();
	cruncher.reset();
}
