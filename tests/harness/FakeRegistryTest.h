#pragma once

// A test whose fake catalogue registry runs on a looper of its own from
// SetUp() to TearDown(). Subclasses add their catalogues before calling
// SetUp(). Header-only.

#include <gtest/gtest.h>

#include <app/Looper.h>
#include <app/Messenger.h>

#include "FakeCatalogueRegistry.h"

class FakeRegistryTest : public testing::Test {
protected:
	void SetUp() override
	{
		fLooper = new BLooper("registry");
		fLooper->AddHandler(&fRegistry);
		fLooper->Run();
	}

	void TearDown() override
	{
		fLooper->Lock();
		fLooper->RemoveHandler(&fRegistry);
		fLooper->Quit();
	}

	BMessenger Registry() const { return BMessenger(&fRegistry, fLooper); }

	FakeCatalogueRegistry fRegistry;
	BLooper* fLooper = nullptr;
};
