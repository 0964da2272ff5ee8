#pragma once

// What the settings window tests share: volumes on scratch folders (boot
// volume "HD", and "Disk"), a parent window with a handler that keeps what
// reaches it, and waiting for a settings window to come and go.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <app/Handler.h>
#include <app/Looper.h>
#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Display.h>
#include <interface/Window.h>
#include <storage/VolumeTable.h>

#include "TestFolder.h"

inline void PrintTo(const BRect& rect, std::ostream* out)
{
	*out << "BRect(" << rect.left << ", " << rect.top << ", " << rect.right << ", "
		<< rect.bottom << ")";
}


// Keeps every message it gets.
class RecordingHandler : public BHandler {
public:
	RecordingHandler() : BHandler("recording target") {}

	void MessageReceived(BMessage* message) override { fReceived.push_back(*message); }

	std::vector<BMessage> fReceived;
};


class SettingsWindowTest : public ::testing::Test {
protected:
	static constexpr uint32 kSync = 'sync';

	void SetUp() override
	{
		fFolder.MakeFolder("hd/backups/current");
		fFolder.MakeFolder("disk/old/sub");
		fVolumes.emplace("MORVANE_VOLUMES", "HD=" + fFolder / "hd" + ";Disk=" + fFolder / "disk");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		fParent = new BWindow(BRect(200, 150, 799, 549), "Parent", B_TITLED_WINDOW, 0);
		ASSERT_TRUE(fParent->Lock());
		fParent->AddHandler(&fTarget);
		fParent->Unlock();
		fParent->Show();
	}

	void TearDown() override
	{
		if (fParent->Lock()) {
			fParent->RemoveHandler(&fTarget);
			fParent->Quit();
		}
		BDisplay::ProcessEvents();
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	// The window a messenger names, once it runs.
	template<typename Window>
	static Window* WindowOf(const BMessenger& messenger)
	{
		BLooper* looper = nullptr;
		messenger.Target(&looper);
		return dynamic_cast<Window*>(looper);
	}

	// Waits until everything posted to the parent before now has been
	// dispatched, so that no message can still be on its way to the target.
	void SyncParent()
	{
		size_t before = fTarget.fReceived.size();
		ASSERT_EQ(fParent->PostMessage(kSync, &fTarget), B_OK);
		ASSERT_TRUE(BDisplay::WaitFor([&] { return fTarget.fReceived.size() > before; }));
		ASSERT_EQ(fTarget.fReceived.back().what, kSync);
		fTarget.fReceived.pop_back();
	}

	static std::vector<char> Flat(const BMessage& message)
	{
		std::vector<char> bytes;
		EXPECT_EQ(message.Flatten(&bytes), B_OK);
		return bytes;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
	BWindow* fParent = nullptr;
	RecordingHandler fTarget;
};
