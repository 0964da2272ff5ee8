#include "ToolTable.h"

#include "GuiProtocol.h"
#include "GuiTexts.h"

const ToolEntry kToolTable[6] = {
	{kToolQuickBackup, kCmdQuickBackupTool, kTextQuickBackup, "quickbackup", "tb_quickbackup"},
	{kToolBackup, kCmdBackupTool, kTextBackup, "backup", "tb_backup"},
	{kToolRestore, kCmdRestoreTool, kTextRestore, "restore", "tb_restore"},
	{kToolCompare, kCmdCompareTool, kTextCompare, "compare", "tb_compare"},
	{kToolJobQueue, kCmdJobQueueTool, kTextJobQueue, "jobqueue", "tb_jobqueue"},
	{kToolReports, kCmdReportTool, kTextReports, "report", "tb_reports"},
};


const ToolEntry* ToolByCommand(uint32 command)
{
	for (const ToolEntry& tool : kToolTable) {
		if (tool.command == command)
			return &tool;
	}
	return nullptr;
}


const ToolEntry* ToolByKind(int32 kind)
{
	for (const ToolEntry& tool : kToolTable) {
		if (tool.kind == kind)
			return &tool;
	}
	return nullptr;
}
