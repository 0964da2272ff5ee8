// The main of every test program that opens windows: a display without a
// screen, alerts answered by the tests, then the tests.

#include <cstdlib>

#include <gtest/gtest.h>

#include <interface/Display.h>

int main(int argc, char** argv)
{
	setenv("QT_QPA_PLATFORM", "offscreen", 1);
	testing::InitGoogleTest(&argc, argv);
	BDisplay display(argc, argv);
	return RUN_ALL_TESTS();
}
