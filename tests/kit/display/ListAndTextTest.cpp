// The status bar, picture button, text view, lists, scroll view and print
// job of the interface kit.

#include <vector>

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>
#include <QTreeWidget>

#include <app/Message.h>
#include <interface/ColumnListView.h>
#include <interface/Display.h>
#include <interface/ListView.h>
#include <interface/Picture.h>
#include <interface/PictureButton.h>
#include <interface/PrintJob.h>
#include <interface/ScrollView.h>
#include <interface/StatusBar.h>
#include <interface/StringItem.h>
#include <interface/TextView.h>
#include <interface/Window.h>

#include "TestFolder.h"

namespace {

// A shown window that keeps every message it gets.
class Bed : public BWindow {
public:
	Bed() : BWindow(BRect(20, 20, 419, 319), "Bed", B_TITLED_WINDOW, 0) {}

	void MessageReceived(BMessage* message) override { received.push_back(*message); }

	bool WaitForCount(size_t count)
	{
		return BDisplay::WaitFor([&] { return received.size() >= count; });
	}

	std::vector<BMessage> received;
};


// Opens a bed and closes it at the end of the test.
struct BedHolder {
	BedHolder() : bed(new Bed) {}
	~BedHolder() { bed->Quit(); }
	void Add(BView* view)
	{
		bed->AddChild(view);
		bed->Show();
	}
	Bed* bed;
};


template<typename Widget>
Widget* As(BView* view)
{
	return dynamic_cast<Widget*>(view->Widget());
}


TEST(StatusBarTest, ValueIsClampedAndScaledAndTextsJoinTheirLabels)
{
	BedHolder holder;
	auto* status = new BStatusBar(BRect(10, 10, 309, 49), "status", "Copying", "files");
	holder.Add(status);
	auto* bar = status->Widget()->findChild<QProgressBar*>();
	auto* text = status->Widget()->findChild<QLabel*>("status_text");
	auto* trailing = status->Widget()->findChild<QLabel*>("status_trailing_text");
	ASSERT_TRUE(bar != nullptr && text != nullptr && trailing != nullptr);

	struct Step {
		float max;
		float value;
		float delta;
		float expected;
		int bar;
	};
	const Step steps[] = {
		{200, 50, 0, 50, 250},
		{200, 50, 25, 75, 375},
		{200, 150, 100, 200, 1000},
		{200, -5, 0, 0, 0},
		{400, 100, 0, 100, 250},
	};
	for (const Step& step : steps) {
		status->SetMaxValue(step.max);
		status->SetTo(step.value, "3 of 8", "12");
		status->Update(step.delta, "3 of 8", "12");
		EXPECT_EQ(status->CurrentValue(), step.expected);
		EXPECT_EQ(bar->value(), step.bar) << step.value << "+" << step.delta;
	}
	EXPECT_EQ(text->text(), QStringLiteral("Copying 3 of 8"));
	EXPECT_EQ(trailing->text(), QStringLiteral("12 files"));
	EXPECT_STREQ(status->TrailingText(), "12");

	status->Reset("Verifying");
	EXPECT_EQ(status->CurrentValue(), 0);
	EXPECT_EQ(status->MaxValue(), 100);
	EXPECT_EQ(bar->value(), 0);
	EXPECT_EQ(text->text(), QStringLiteral("Verifying"));
	EXPECT_EQ(trailing->text(), QString());
	// The bar lies below the texts, as high as asked.
	status->SetBarHeight(12);
	EXPECT_EQ(bar->geometry(), QRect(0, 28, 300, 12));
}


TEST(PictureButtonTest, ShowsThePictureSharplyInEachLayoutAndInvokes)
{
	BedHolder holder;
	BView painter(BRect(0, 0, 31, 31), "painter", B_FOLLOW_NONE, 0);
	BPicture picture;
	painter.BeginPicture(&picture);
	painter.SetHighColor(200, 0, 0);
	painter.FillRect(BRect(0, 0, 15, 15));
	painter.EndPicture();

	auto* button = new BPictureButton(BRect(10, 10, 89, 59), "pict", &picture, "Back up",
		new BMessage('pict'));
	holder.Add(button);
	auto* tool = As<QToolButton>(button);
	ASSERT_NE(tool, nullptr);
	const std::pair<picture_button_layout, Qt::ToolButtonStyle> layouts[] = {
		{B_PICTURE_ONLY, Qt::ToolButtonIconOnly},
		{B_TEXT_ONLY, Qt::ToolButtonTextOnly},
		{B_PICTURE_BESIDE_TEXT, Qt::ToolButtonTextBesideIcon},
		{B_PICTURE_ABOVE_TEXT, Qt::ToolButtonTextUnderIcon},
	};
	for (const auto& [layout, style] : layouts) {
		button->SetLayout(layout);
		EXPECT_EQ(tool->toolButtonStyle(), style);
	}
	EXPECT_EQ(tool->text(), QStringLiteral("Back up"));
	EXPECT_EQ(tool->iconSize(), QSize(16, 16));
	qreal ratio = qApp->devicePixelRatio();
	QPixmap icon = tool->icon().pixmap(QSize(16, 16), ratio);
	EXPECT_EQ(icon.devicePixelRatio(), ratio);
	EXPECT_EQ(icon.size(), QSize(16, 16) * ratio);
	EXPECT_EQ(icon.toImage().pixelColor(icon.width() / 2, icon.height() / 2), QColor(200, 0, 0));

	button->Click();
	ASSERT_TRUE(holder.bed->WaitForCount(1));
	EXPECT_EQ(holder.bed->received[0].what, uint32('pict'));
	button->SetEnabled(false);
	button->Click();
	BDisplay::ProcessEvents(20000);
	EXPECT_EQ(holder.bed->received.size(), 1u);
}


TEST(TextViewTest, AppendsStyledLinesAndFollowsTheEnd)
{
	BedHolder holder;
	auto* view = new BTextView(BRect(10, 10, 209, 109), "text", BRect(4, 4, 195, 95));
	holder.Add(view);
	auto* edit = As<QPlainTextEdit>(view);
	ASSERT_NE(edit, nullptr);

	view->SetText("Report\n");
	view->Insert("plain line\n");
	view->InsertStyled("error line\n", make_color(255, 0, 0), true);
	view->Insert("caf\xc3\xa9");
	EXPECT_STREQ(view->Text(), "Report\nplain line\nerror line\ncaf\xc3\xa9");
	EXPECT_EQ(view->TextLength(), 34);
	EXPECT_EQ(view->CountLines(), 4);
	struct Line {
		int block;
		bool bold;
		bool red;
	};
	for (const Line& line : {Line{1, false, false}, Line{2, true, true}, Line{3, false, false}}) {
		QTextCharFormat format = edit->document()->findBlockByNumber(line.block)
			.begin().fragment().charFormat();
		EXPECT_EQ(format.fontWeight() == QFont::Bold, line.bold) << line.block;
		EXPECT_EQ(format.foreground().color() == QColor(255, 0, 0), line.red) << line.block;
	}

	// A view showing the end keeps showing it; one scrolled back stays.
	for (int index = 0; index < 200; index++)
		view->Insert("more\n");
	QScrollBar* bar = edit->verticalScrollBar();
	EXPECT_GT(bar->maximum(), 0);
	EXPECT_TRUE(view->IsScrolledToEnd());
	bar->setValue(3);
	view->Insert("one more\n");
	EXPECT_EQ(bar->value(), 3);

	const std::pair<bool, bool> modes[] = {{true, true}, {false, true}, {false, false}};
	for (const auto& [editable, selectable] : modes) {
		view->MakeEditable(editable);
		view->MakeSelectable(selectable);
		EXPECT_EQ(edit->isReadOnly(), !editable);
		EXPECT_EQ((edit->textInteractionFlags() & Qt::TextSelectableByMouse) != 0,
			editable || selectable);
	}
	view->SetWordWrap(false);
	EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
	view->Delete();
	EXPECT_EQ(view->TextLength(), 0);
	EXPECT_STREQ(view->Text(), "");
}


TEST(ListViewTest, ItemsSelectionAndMessages)
{
	BedHolder holder;
	auto* list = new BListView(BRect(10, 10, 209, 209), "list", B_MULTIPLE_SELECTION_LIST);
	list->SetSelectionMessage(new BMessage('slct'));
	list->SetInvocationMessage(new BMessage('invk'));
	holder.Add(list);
	auto* widget = As<QListWidget>(list);
	std::vector<BStringItem*> items;
	for (const char* text : {"alpha", "gamma", "delta"}) {
		items.push_back(new BStringItem(text));
		EXPECT_TRUE(list->AddItem(items.back()));
	}
	auto* beta = new BStringItem("beta");
	EXPECT_TRUE(list->AddItem(beta, 1));
	EXPECT_FALSE(list->AddItem(beta));
	BStringItem far("far");
	EXPECT_FALSE(list->AddItem(&far, 9));
	ASSERT_EQ(list->CountItems(), 4);
	const char* expected[] = {"alpha", "beta", "gamma", "delta"};
	for (int32 index = 0; index < 4; index++) {
		auto* item = static_cast<BStringItem*>(list->ItemAt(index));
		EXPECT_STREQ(item->Text(), expected[index]);
		EXPECT_EQ(list->IndexOf(item), index);
		EXPECT_EQ(widget->item(index)->text(), QString(expected[index]));
	}

	list->Select(1);
	list->Select(3, true);
	ASSERT_TRUE(holder.bed->WaitForCount(2));
	const BMessage& selected = holder.bed->received.back();
	EXPECT_EQ(selected.what, uint32('slct'));
	EXPECT_EQ(selected.GetInt32("index", 0, -1), 1);
	EXPECT_EQ(selected.GetInt32("index", 1, -1), 3);
	EXPECT_EQ(list->CurrentSelection(0), 1);
	EXPECT_EQ(list->CurrentSelection(1), 3);
	EXPECT_EQ(list->CurrentSelection(2), -1);
	EXPECT_TRUE(beta->IsSelected());
	list->Deselect(1);
	EXPECT_FALSE(list->IsItemSelected(1));
	EXPECT_EQ(list->CurrentSelection(), 3);

	// A double click (or Enter) invokes with the selected indexes.
	size_t before = holder.bed->received.size();
	emit widget->itemActivated(widget->item(3));
	ASSERT_TRUE(holder.bed->WaitForCount(before + 1));
	EXPECT_EQ(holder.bed->received.back().what, uint32('invk'));
	EXPECT_EQ(holder.bed->received.back().GetInt32("index", -1), 3);

	items[0]->SetText("ALPHA");
	EXPECT_EQ(widget->item(0)->text(), QStringLiteral("ALPHA"));
	EXPECT_EQ(list->RemoveItem(1), beta);
	EXPECT_EQ(beta->ListView(), nullptr);
	EXPECT_EQ(list->IndexOf(beta), -1);
	delete beta;
	// Deleting an item in the list takes it out.
	delete items[1];
	EXPECT_EQ(list->CountItems(), 2);
	list->MakeEmpty();
	EXPECT_EQ(list->CountItems(), 0);
	EXPECT_EQ(items[0]->ListView(), nullptr);
	list->AddItem(items[0]);
	list->AddItem(items[2]);
	list->DeleteAll();
	EXPECT_TRUE(list->IsEmpty());
}


// A list of name and size, with child rows under the first.
struct ColumnBed {
	ColumnBed()
	{
		list = new BColumnListView(BRect(10, 10, 389, 289), "columns");
		list->AddColumn(new BStringColumn("Name", 120, 40, 300), 0);
		list->AddColumn(new BStringColumn("Size", 60, 30, 100, B_TRUNCATE_END, B_ALIGN_RIGHT), 1);
		for (const char* name : {"docs", "photos", "music"})
			list->AddRow(MakeRow(name, "1 MB"));
		for (const char* name : {"a.txt", "b.txt"})
			list->AddRow(MakeRow(name, "2 KB"), list->RowAt(0));
		holder.Add(list);
		tree = As<QTreeWidget>(list);
	}

	static BRow* MakeRow(const char* name, const char* size)
	{
		auto* row = new BRow;
		row->SetField(new BStringField(name), 0);
		row->SetField(new BStringField(size), 1);
		return row;
	}

	static const char* Name(BRow* row)
	{
		return static_cast<BStringField*>(row->GetField(0))->String();
	}

	BedHolder holder;
	BColumnListView* list;
	QTreeWidget* tree;
};


TEST(ColumnListViewTest, RowsFormATreeShownInTheirColumns)
{
	ColumnBed bed;
	ASSERT_NE(bed.tree, nullptr);
	EXPECT_EQ(bed.list->CountRows(), 3);
	BRow* docs = bed.list->RowAt(0);
	EXPECT_EQ(bed.list->CountRows(docs), 2);
	BRow* child = bed.list->RowAt(1, docs);
	EXPECT_STREQ(ColumnBed::Name(child), "b.txt");
	EXPECT_EQ(child->ParentRow(), docs);
	EXPECT_EQ(bed.list->IndexOf(child), 1);
	EXPECT_TRUE(docs->HasLatch());
	bed.list->ExpandOrCollapse(docs, true);
	EXPECT_TRUE(docs->IsExpanded());
	EXPECT_EQ(bed.tree->topLevelItem(1)->text(1), QStringLiteral("1 MB"));
	EXPECT_EQ(bed.tree->headerItem()->text(0), QStringLiteral("Name"));

	static_cast<BStringField*>(child->GetField(0))->SetString("c.txt");
	bed.list->UpdateRow(child);
	EXPECT_EQ(bed.tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("c.txt"));

	// A removed row takes its children along and is the caller's.
	EXPECT_TRUE(bed.list->RemoveRow(docs));
	EXPECT_EQ(bed.list->CountRows(), 2);
	EXPECT_EQ(bed.list->IndexOf(child), -1);
	EXPECT_TRUE(bed.list->AddRow(docs, 2));
	EXPECT_EQ(bed.list->IndexOf(docs), 2);
	EXPECT_EQ(bed.list->RowAt(1, docs), child);
	bed.list->Clear();
	EXPECT_EQ(bed.list->CountRows(), 0);
}


// A list that adds a row's children the first time it opens.
class LazyList : public BColumnListView {
public:
	LazyList() : BColumnListView(BRect(0, 0, 199, 199), "lazy") {}

	void ExpansionChanged(BRow* row, bool expanded) override
	{
		changes.push_back(expanded);
		if (expanded && CountRows(row) == 0)
			AddRow(ColumnBed::MakeRow("child", "1"), row);
	}

	std::vector<bool> changes;
};


TEST(ColumnListViewTest, ALatchShownWithoutChildrenLetsTheRowLoadThemAsItOpens)
{
	BedHolder holder;
	auto* list = new LazyList;
	list->AddColumn(new BStringColumn("Name", 120, 40, 300), 0);
	holder.Add(list);
	BRow* folder = ColumnBed::MakeRow("folder", "");
	BRow* file = ColumnBed::MakeRow("file", "");
	folder->ShowLatch(true);
	list->AddRow(folder);
	list->AddRow(file);
	EXPECT_TRUE(folder->HasLatch());
	EXPECT_FALSE(file->HasLatch());
	EXPECT_EQ(list->CountRows(folder), 0);

	list->ExpandOrCollapse(folder, true);
	list->ExpandOrCollapse(folder, false);
	list->ExpandOrCollapse(folder, true);
	EXPECT_EQ(list->CountRows(folder), 1);
	EXPECT_EQ(list->changes, (std::vector<bool>{true, false, true}));
	folder->ShowLatch(false);
	EXPECT_TRUE(folder->HasLatch());

	// A picture that draws something is the row's icon; an empty one none.
	EXPECT_FALSE(file->HasIcon());
	BView pen(BRect(0, 0, 15, 15), "pen", 0, 0);
	BPicture drawn;
	pen.BeginPicture(&drawn);
	pen.FillRect(BRect(2, 2, 12, 12));
	pen.EndPicture();
	file->SetIcon(drawn);
	EXPECT_TRUE(file->HasIcon());
	file->SetIcon(BPicture());
	EXPECT_FALSE(file->HasIcon());
}


TEST(ColumnListViewTest, ColumnWidthsFollowTheUserWithinTheirLimits)
{
	ColumnBed bed;
	ASSERT_EQ(bed.list->CountColumns(), 2);
	BColumn* name = bed.list->ColumnAt(0);
	QHeaderView* header = bed.tree->header();
	EXPECT_EQ(name->Width(), 120);
	EXPECT_EQ(header->sectionSize(0), 120);
	struct Case {
		int dragged;
		float expected;
	};
	for (const Case& test : {Case{200, 200}, Case{10, 40}, Case{900, 300}}) {
		header->resizeSection(0, test.dragged);
		EXPECT_EQ(name->Width(), test.expected) << test.dragged;
		EXPECT_EQ(header->sectionSize(0), int(test.expected));
	}
	// Restoring a stored width; a hidden column keeps its own.
	bed.list->ColumnAt(1)->SetWidth(75);
	EXPECT_EQ(header->sectionSize(1), 75);
	bed.list->ColumnAt(1)->SetVisible(false);
	EXPECT_TRUE(header->isSectionHidden(1));
	EXPECT_EQ(bed.list->ColumnAt(1)->Width(), 75);
	bed.list->ColumnAt(1)->SetVisible(true);
	EXPECT_EQ(header->sectionSize(1), 75);
	EXPECT_EQ(bed.list->ColumnAt(1)->LogicalFieldNum(), 1);
}


TEST(ColumnListViewTest, SelectionIteratesAndEditingCommitsToTheField)
{
	ColumnBed bed;
	bed.list->SetSelectionMessage(new BMessage('slct'));
	bed.list->SetInvocationMessage(new BMessage('invk'));
	bed.list->SetEditable(0, new BMessage('edit'));
	BRow* docs = bed.list->RowAt(0);
	BRow* music = bed.list->RowAt(2);
	BRow* child = bed.list->RowAt(0, docs);
	bed.list->ExpandOrCollapse(docs, true);
	for (BRow* row : {music, child, docs})
		bed.list->AddToSelection(row);
	// In the order shown: a parent, its children, then the next rows.
	std::vector<BRow*> selected;
	for (BRow* row = bed.list->CurrentSelection(); row != nullptr;
		row = bed.list->CurrentSelection(row)) {
		selected.push_back(row);
	}
	EXPECT_EQ(selected, (std::vector<BRow*>{docs, child, music}));
	ASSERT_TRUE(bed.holder.bed->WaitForCount(3));
	EXPECT_EQ(bed.holder.bed->received[0].what, uint32('slct'));
	bed.list->SetSelectionMode(B_SINGLE_SELECTION_LIST);
	bed.list->AddToSelection(music);
	EXPECT_EQ(bed.list->CurrentSelection(), music);
	EXPECT_EQ(bed.list->CurrentSelection(music), nullptr);
	bed.list->DeselectAll();
	EXPECT_EQ(bed.list->CurrentSelection(), nullptr);

	// A column that is not editable invokes; an editable one edits.
	size_t before = bed.holder.bed->received.size();
	EXPECT_FALSE(bed.list->EditField(music, 1));
	emit bed.tree->itemActivated(bed.tree->topLevelItem(2), 1);
	ASSERT_TRUE(bed.holder.bed->WaitForCount(before + 1));
	EXPECT_EQ(bed.holder.bed->received.back().what, uint32('invk'));

	ASSERT_TRUE(bed.list->EditField(music, 0));
	auto* editor = bed.tree->findChild<QLineEdit*>("field_editor");
	ASSERT_NE(editor, nullptr);
	EXPECT_EQ(editor->text(), QStringLiteral("music"));
	editor->setText(QStringLiteral("songs"));
	QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
	QApplication::sendEvent(editor, &enter);
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return bed.holder.bed->received.back().what == uint32('edit');
	}));
	const BMessage& edited = bed.holder.bed->received.back();
	void* row = nullptr;
	ASSERT_EQ(edited.FindPointer("row", &row), B_OK);
	EXPECT_EQ(row, music);
	EXPECT_EQ(edited.GetInt32("field", -1), 0);
	EXPECT_STREQ(edited.GetString("text", ""), "songs");
	EXPECT_STREQ(ColumnBed::Name(music), "songs");
	EXPECT_EQ(bed.tree->topLevelItem(2)->text(0), QStringLiteral("songs"));
}


TEST(ScrollViewTest, FramesItsTargetAndShowsTheScrollBarsAskedFor)
{
	struct Case {
		const char* kind;
		bool horizontal;
		bool vertical;
		border_style border;
	};
	const Case cases[] = {
		{"text", false, true, B_FANCY_BORDER},
		{"list", true, true, B_PLAIN_BORDER},
		{"columns", false, false, B_NO_BORDER},
		{"plain", false, true, B_FANCY_BORDER},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.kind);
		BedHolder holder;
		BRect frame(20, 20, 219, 119);
		BView* target;
		std::string kind = test.kind;
		if (kind == "text")
			target = new BTextView(frame, "target", BRect(0, 0, 199, 99));
		else if (kind == "list")
			target = new BListView(frame, "target");
		else if (kind == "columns")
			target = new BColumnListView(frame, "target");
		else
			target = new BView(frame, "target", B_FOLLOW_NONE, 0);
		auto* scroll = new BScrollView("scroll", target, B_FOLLOW_ALL, 0, test.horizontal,
			test.vertical, test.border);
		holder.Add(scroll);
		EXPECT_EQ(scroll->Target(), target);
		EXPECT_EQ(target->Parent(), scroll);
		float inset = scroll->BorderWidth();
		EXPECT_EQ(inset > 0, test.border != B_NO_BORDER);
		EXPECT_EQ(scroll->Frame(), BRect(20 - inset, 20 - inset, 219 + inset, 119 + inset));

		QAbstractScrollArea* area = kind == "plain"
			? scroll->Widget()->findChild<QScrollArea*>("scroll_area")
			: As<QAbstractScrollArea>(target);
		ASSERT_NE(area, nullptr);
		auto policy = [](bool shown) {
			return shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
		};
		EXPECT_EQ(area->horizontalScrollBarPolicy(), policy(test.horizontal));
		EXPECT_EQ(area->verticalScrollBarPolicy(), policy(test.vertical));

		// The window grows; the target keeps filling the scroll view.
		holder.bed->ResizeBy(50, 30);
		if (kind == "plain") {
			EXPECT_EQ(target->Frame().LeftTop(), BPoint(0, 0));
			EXPECT_EQ(target->Frame().Height(), 99);
			EXPECT_GT(target->Frame().Width(), 199);
		} else {
			BRect inside = scroll->Bounds();
			inside.InsetBy(inset, inset);
			EXPECT_EQ(target->Frame(), inside);
			EXPECT_EQ(inside.Width(), 249);
		}
	}
}


TEST(PrintJobTest, PrintsPagesIntoAPdf)
{
	TestFolder folder;
	std::string path = folder / "report.pdf";
	BView view(BRect(0, 0, 199, 99), "printed", B_FOLLOW_NONE, 0);
	BPrintJob job("Backup report");
	job.SetOutputFile(path.c_str());
	ASSERT_EQ(job.BeginJob(), B_OK);
	BRect printable = job.PrintableRect();
	EXPECT_GT(printable.Width(), 300);
	EXPECT_GT(printable.Height(), 300);
	EXPECT_LT(printable.Width(), job.PaperRect().Width() + 1);
	job.DrawView(&view, view.Bounds(), BPoint(0, 0));
	float height = job.DrawText("A line long enough to be wrapped at the width of a narrow "
		"rectangle on the first page.", BRect(0, 120, 99, 400), be_plain_font);
	EXPECT_GT(height, be_plain_font->Size() * 2);
	job.SpoolPage();
	job.DrawText("Second page", BRect(0, 0, 300, 40), be_bold_font);
	job.SpoolPage();
	EXPECT_EQ(job.CommitJob(), B_OK);
	EXPECT_EQ(job.CountSpooledPages(), 2);

	std::optional<std::string> pdf = ReadWholeFile(path);
	ASSERT_TRUE(pdf.has_value());
	EXPECT_EQ(pdf->compare(0, 4, "%PDF"), 0);
	int pages = 0;
	for (size_t at = pdf->find("/Type /Page"); at != std::string::npos;
		at = pdf->find("/Type /Page", at + 1)) {
		if (pdf->compare(at, 12, "/Type /Pages") != 0)
			pages++;
	}
	EXPECT_EQ(pages, 2);

	// A cancelled job leaves no file.
	std::string cancelled = folder / "cancelled.pdf";
	BPrintJob other("Cancelled");
	other.SetOutputFile(cancelled.c_str());
	ASSERT_EQ(other.BeginJob(), B_OK);
	other.DrawText("x", BRect(0, 0, 99, 99), nullptr);
	other.CancelJob();
	EXPECT_FALSE(ReadWholeFile(cancelled).has_value());
}

}	// namespace
