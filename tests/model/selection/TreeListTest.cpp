#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "MVTreeList.h"

namespace {

class FolderEntry : public MVTreeEntry {
public:
	FolderEntry(const char* name, bool directory, int* live)
		: MVTreeEntry(name), fDirectory(directory), fLive(live) { (*fLive)++; }
	~FolderEntry() override { (*fLive)--; }
	bool IsDirectory() const override { return fDirectory; }

private:
	bool fDirectory;
	int* fLive;
};

// A tree list over an in-memory listing: path -> children (name, folder).
class FakeTreeList : public MVTreeList {
public:
	using Listing = std::map<std::string, std::vector<std::pair<std::string, bool>>>;

	FakeTreeList(Listing listing, int* live, bool everyFolderHasALoop = false)
		: fLive(live), fListing(std::move(listing)), fLoop(everyFolderHasALoop) {}
	~FakeTreeList() override { MakeEmpty(); }

	int* fLive;

protected:
	MVTreeEntry* CreateEntry(const char* name) override
	{
		return new FolderEntry(name, fScanning ? fNextIsFolder : true, fLive);
	}

	bool ScanStart(const char* path) override
	{
		fChildren.clear();
		if (auto found = fListing.find(path); found != fListing.end())
			fChildren = found->second;
		if (fLoop)
			fChildren.emplace_back("loop", true);
		fIndex = 0;
		fScanning = true;
		return !fChildren.empty();
	}

	const char* ScanNext() override
	{
		if (fIndex >= fChildren.size()) {
			fScanning = false;
			return nullptr;
		}
		fNextIsFolder = fChildren[fIndex].second;
		return fChildren[fIndex++].first.c_str();
	}

private:
	Listing fListing;
	bool fLoop;
	std::vector<std::pair<std::string, bool>> fChildren;
	size_t fIndex = 0;
	bool fScanning = false;
	bool fNextIsFolder = false;
};

FakeTreeList::Listing SampleListing()
{
	return {
		{"/v", {{"a", true}, {"b", false}}},
		{"/v/a", {{"x", false}, {"y", true}}},
		{"/v/a/y", {{"z", false}}},
	};
}

BMessage Selection(std::initializer_list<const char*> lines)
{
	BMessage selection;
	for (const char* line : lines)
		EXPECT_EQ(selection.AddString("SELECTION", line), B_OK);
	return selection;
}

std::vector<std::string> Walk(MVTreeList& list)
{
	std::vector<std::string> entries;
	for (MVTreeEntry* entry = list.FindFirst(); entry != nullptr; entry = list.FindNext())
		entries.push_back(std::to_string(list.OutlineLevel()) + " " + entry->Name());
	return entries;
}

}	// namespace


// Folder lines list through the hooks, each folder to its end before its
// children, so nested listings do not cut each other short.
TEST(TreeListTest, FolderLinesUseTheHooks)
{
	int live = 0;
	FakeTreeList list(SampleListing(), &live);
	BMessage selection = Selection({"INCLUDE /v/*"});
	list.SetTo(&selection);
	EXPECT_EQ(Walk(list), (std::vector<std::string>{"0 v", "1 a", "2 x", "2 y", "3 z", "1 b"}));
	EXPECT_EQ(list.CountItems(), 6);
	EXPECT_EQ(live, 6);
	EXPECT_EQ(list.OutlineLevel(), -1);
	EXPECT_EQ(list.FindNext(), nullptr);
}


// Lines apply in order; a second include adds nothing; entries are
// released through the hook, also when the list goes away.
TEST(TreeListTest, LinesAndOwnership)
{
	int live = 0;
	{
		FakeTreeList list(SampleListing(), &live);
		BMessage cut = Selection({"INCLUDE /v/*", "EXCLUDE /v/a/y/*", "INCLUDE /v/b",
			"INCLUDE /w/new/leaf", "EXCLUDE /w/none"});
		list.SetTo(&cut);
		EXPECT_EQ(Walk(list), (std::vector<std::string>{"0 v", "1 a", "2 x", "1 b", "0 w",
			"1 new", "2 leaf"}));
		EXPECT_EQ(live, 7);
		EXPECT_EQ(list.CountItems(), 7);

		BMessage reversed = Selection({"EXCLUDE /v/a/*", "INCLUDE /v/*"});
		list.SetTo(&reversed);
		EXPECT_EQ(list.CountItems(), 6);
		EXPECT_EQ(live, 6);
		ASSERT_NE(list.GetLeaf("/v/a/y/z"), nullptr);
		EXPECT_EQ(list.GetLeaf("/v/a/q"), nullptr);
		EXPECT_EQ(list.GetLeaf("/"), nullptr);
	}
	EXPECT_EQ(live, 0);
}


// A source that reports a folder inside every folder cannot make the tree
// grow without end.
TEST(TreeListTest, EndlessSourceIsBounded)
{
	int live = 0;
	FakeTreeList list({}, &live, true);
	BMessage selection = Selection({"INCLUDE /v/*"});
	list.SetTo(&selection);
	EXPECT_GT(list.CountItems(), 100);
	EXPECT_LT(list.CountItems(), 2000);
	EXPECT_EQ(live, list.CountItems());
}


// Linking by position, and the entry's redirection.
TEST(TreeListTest, AddNodeAndRedirection)
{
	int live = 0;
	FakeTreeList list({}, &live);
	mvtreelistnode* a = list.CreateNode("a");
	mvtreelistnode* b = list.CreateNode("b");
	mvtreelistnode* c = list.CreateNode("c");
	ASSERT_NE(c, nullptr);
	EXPECT_TRUE(list.AddNode(nullptr, a, kTreeListAfter));
	EXPECT_TRUE(list.AddNode(a, b, kTreeListBefore));
	EXPECT_TRUE(list.AddNode(a, c, kTreeListParent));
	EXPECT_EQ(Walk(list), (std::vector<std::string>{"0 b", "0 c", "1 a"}));
	EXPECT_FALSE(list.AddNode(a, c, kTreeListFirstChild));
	EXPECT_FALSE(list.AddNode(a, b, 7));
	EXPECT_TRUE(list.AddNode(a, b, kTreeListFirstChild));
	EXPECT_EQ(Walk(list), (std::vector<std::string>{"0 c", "1 a", "2 b"}));
	list.RemoveNode(a);
	EXPECT_EQ(Walk(list), (std::vector<std::string>{"0 c"}));
	EXPECT_EQ(live, 3);
	list.MakeEmpty();
	EXPECT_EQ(live, 0);

	MVTreeEntry entry("/boot/home/file");
	EXPECT_STREQ(entry.Name(), "file");
	EXPECT_FALSE(entry.HasRedirection());
	entry.SetRedirection("/data/target");
	EXPECT_STREQ(entry.Redirection(), "/data/target");
	entry.SetRedirection(nullptr);
	EXPECT_STREQ(entry.Redirection(), "");
	EXPECT_FALSE(entry.SetTo("/"));
}
