#pragma once

// The file panel's dialog: Qt's own file dialog, which tells its panel when
// it goes away and stays open after a choice when the panel says so.

#include <QFileDialog>

class BFilePanel;

namespace MorvaneKit {

class FilePanelDialog : public QFileDialog {
public:
	explicit FilePanelDialog(BFilePanel* panel) : fPanel(panel) {}
	// Null while the dialog's going away is none of the panel's business.
	void SetPanel(BFilePanel* panel) { fPanel = panel; }

	// What the default button does.
	void Accept() { accept(); }
	void done(int result) override;

protected:
	void hideEvent(QHideEvent* event) override;

private:
	BFilePanel* fPanel;
};

}	// namespace MorvaneKit
