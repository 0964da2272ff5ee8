#include <gtest/gtest.h>

#include <cstring>

#include "TapeDriveScan.h"

// INQUIRY data comes from a device: only connected sequential-access
// devices with 36 bytes of it are drives, and their names are cut and
// cleaned.
TEST(TapeDriveScanTest, DrivesFromInquiryData)
{
	auto inquiry = [](uint8 type, const char* vendorAndProduct) {
		std::vector<uint8> data(36, 0);
		data[0] = type;
		memcpy(data.data() + 8, vendorAndProduct, std::min<size_t>(strlen(vendorAndProduct), 24));
		return data;
	};
	TapeDrive drive;
	std::vector<uint8> tape = inquiry(0x01, "HP      Ultrium 5-SCSI  ");
	ASSERT_TRUE(TapeDriveScan::FromInquiry("/dev/bus/scsi/2/5/0/raw", tape.data(), tape.size(),
		&drive));
	EXPECT_EQ(drive.MenuName(), "HP Ultrium 5-SCSI (2/5/0)");
	EXPECT_EQ(drive.target, 5);

	std::vector<uint8> odd = inquiry(0x01, "AB\x1b[2JC TAPE\n          ");
	ASSERT_TRUE(TapeDriveScan::FromInquiry("/dev/bus/scsi/1/0/0/raw", odd.data(), odd.size(),
		&drive));
	EXPECT_EQ(drive.vendor, "AB?[2JC");
	EXPECT_EQ(drive.product, "TAPE?");

	for (uint8 notADrive : {0x00, 0x21, 0x61, 0x81}) {
		std::vector<uint8> other = inquiry(notADrive, "ATA     SomeDisk        ");
		EXPECT_FALSE(TapeDriveScan::FromInquiry("/dev/bus/scsi/0/0/0/raw", other.data(),
			other.size(), &drive)) << int(notADrive);
	}
	EXPECT_FALSE(TapeDriveScan::FromInquiry("/dev/bus/scsi/0/0/0/raw", tape.data(), 35, &drive));
	EXPECT_FALSE(TapeDriveScan::FromInquiry("/dev/bus/scsi/0/0/0/raw", nullptr, 36, &drive));
	ASSERT_TRUE(TapeDriveScan::FromInquiry("elsewhere", tape.data(), tape.size(), &drive));
	EXPECT_EQ(drive.MenuName(), "HP Ultrium 5-SCSI (0/0/0)");
}
