#include <gtest/gtest.h>

#include <app/Messenger.h>

#include "FakeRegistryTest.h"
#include "MVLogBaseList.h"
#include "MVTreeListLog.h"
#include "SampleCatalogue.h"

namespace {

// A catalogue "bk1" of one volume:
// /vol, /vol/home, /vol/home/a, /vol/home/sub, /vol/home/sub/b, /vol/home/c
BMessage SampleCatalogue()
{
	return MakeCatalogue("bk1", "Sample", 0, {
		{"/vol", EntryKind::VolumeRoot, 0, 0},
		{"/vol/home", EntryKind::Directory, 1, 0},
		{"/vol/home/a", EntryKind::File, 2, 10},
		{"/vol/home/sub", EntryKind::Directory, 2, 0},
		{"/vol/home/sub/b", EntryKind::File, 3, 20},
		{"/vol/home/c", EntryKind::File, 2, 30},
	});
}

class LogBaseListTest : public FakeRegistryTest {
protected:
	void SetUp() override
	{
		fRegistry.AddCatalogue("bk1", SampleCatalogue());
		FakeRegistryTest::SetUp();
	}

	// The names of the tree in pre-order, each with its outline level.
	static std::string Walk(MVLogBaseList& list)
	{
		std::string walk;
		for (MVTreeEntryLog* entry = list.FindFirst(); entry != nullptr; entry = list.FindNext())
			walk += std::string(entry->Name()) + ":" + std::to_string(list.OutlineLevel()) + " ";
		return walk;
	}

	static BMessage Selection(std::initializer_list<const char*> lines)
	{
		BMessage selection;
		for (const char* line : lines)
			selection.AddString("SELECTION", line);
		return selection;
	}
};

}	// namespace

// A folder line brings the folder's whole listing; an exclude line inside it
// takes one subtree out again.
TEST_F(LogBaseListTest, FolderLineMinusExcludedSubtree)
{
	BMessage selection = Selection({"INCLUDE /bk1/vol/home/*", "EXCLUDE /bk1/vol/home/sub/*"});
	MVLogBaseList list(Registry(), &selection);
	EXPECT_EQ(Walk(list), "bk1:0 vol:1 home:2 a:3 c:3 ");
	EXPECT_EQ(list.CountItems(), 5);

	BMessage whole = Selection({"INCLUDE /bk1/vol/home/*"});
	list.SetTo(&whole);
	EXPECT_EQ(Walk(list), "bk1:0 vol:1 home:2 a:3 sub:3 b:4 c:3 ");
}

// Entries carry the catalogue's fields; a file line adds only its path, and
// a folder line after it lists no item twice.
TEST_F(LogBaseListTest, FileLineAndEntryFields)
{
	BMessage selection = Selection({"INCLUDE /bk1/vol/home/sub/b"});
	MVLogBaseList list(Registry(), &selection);
	EXPECT_EQ(Walk(list), "bk1:0 vol:1 home:2 sub:3 b:4 ");
	MVTreeEntryLog* b = list.FindFirst();
	while (b != nullptr && std::string(b->Name()) != "b")
		b = list.FindNext();
	ASSERT_NE(b, nullptr);
	EXPECT_EQ(b->Type(), kLogTypeFile);
	EXPECT_STREQ(b->FullPath(), "/vol/home/sub/b");
	EXPECT_EQ(b->Size(), 20);
	EXPECT_EQ(b->Offset(), 220 + 4 * 100);
	EXPECT_EQ(b->Index(), 4);
	EXPECT_EQ(list.CurrentBackup(), list.FindFirst());

	BMessage both = Selection({"INCLUDE /bk1/vol/home/a", "INCLUDE /bk1/vol/home/*"});
	list.SetTo(&both);
	EXPECT_EQ(Walk(list), "bk1:0 vol:1 home:2 a:3 sub:3 b:4 c:3 ");
}

// Redirections spread over a subtree keep the inner structure; the first
// line that covers a node wins; a volume root puts its items straight in.
TEST_F(LogBaseListTest, RedirectionsKeepStructure)
{
	BMessage selection = Selection({"INCLUDE /bk1/vol/home/*"});
	selection.AddString("source", "REDIREC /bk1/vol/home/*");
	selection.AddString("redirect", "/t/x");
	selection.AddString("source", "REDIREC /bk1/vol/home/sub/*");
	selection.AddString("redirect", "/t/other");
	MVLogBaseList list(Registry(), &selection);
	std::string seen;
	for (MVTreeEntryLog* entry = list.FindFirst(); entry != nullptr; entry = list.FindNext())
		seen += std::string(entry->Name()) + "=" + entry->Redirection() + " ";
	EXPECT_EQ(seen, "bk1= vol= home=/t/x a=/t/x/home sub=/t/x/home b=/t/x/home/sub c=/t/x/home ");

	list.RemoveRedirection("/bk1/vol/home/sub", true);
	list.InsertRedirection("/bk1/vol", "/t/v", true);
	mvtreelistnode* b = list.GetLeaf("/bk1/vol/home/sub/b");
	ASSERT_NE(b, nullptr);
	EXPECT_STREQ(b->entry->Redirection(), "/t/v/home/sub");
	EXPECT_STREQ(list.GetLeaf("/bk1/vol/home")->entry->Redirection(), "/t/x");
}

// Empty trees, unknown paths and walking past the end.
TEST_F(LogBaseListTest, EmptyAndUnknown)
{
	MVLogBaseList list(Registry());
	EXPECT_TRUE(list.IsEmpty());
	EXPECT_EQ(list.OutlineLevel(), -1);
	EXPECT_EQ(list.FindFirst(), nullptr);

	BMessage unknown = Selection({"INCLUDE /bk1/vol/nothing", "INCLUDE /nobackup/vol/*"});
	list.SetTo(&unknown);
	EXPECT_EQ(Walk(list), "bk1:0 vol:1 ");

	BMessage one = Selection({"INCLUDE /bk1/vol/home/c", "EXCLUDE /bk1/vol/home/c/deeper"});
	list.SetTo(&one);
	EXPECT_EQ(Walk(list), "bk1:0 vol:1 home:2 c:3 ");
	EXPECT_EQ(list.FindNext(), nullptr);
	EXPECT_EQ(list.FindNext(), nullptr);
	EXPECT_EQ(list.OutlineLevel(), -1);
}

// A registry that cannot be reached gives an empty tree, not a hang.
TEST_F(LogBaseListTest, UnreachableRegistry)
{
	BMessage selection = Selection({"INCLUDE /bk1/vol/home/*"});
	MVLogBaseList list(BMessenger(), &selection);
	EXPECT_TRUE(list.IsEmpty());

	MVTreeListLog tree(Registry());
	tree.SetTo(&selection);
	// The generic tree only adds the components; the listing is the
	// catalogue tree's.
	EXPECT_EQ(tree.CountItems(), 3);
	ASSERT_NE(tree.GetLeaf("/bk1/vol/home"), nullptr);
	EXPECT_STREQ(tree.GetLeaf("/bk1/vol/home")->entry->Name(), "home");
}
