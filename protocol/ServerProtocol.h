#pragma once

// The message protocol of the backup server: every code that clients, job
// workers and the report server exchange with the server application, and
// the signatures the programs run under.
//
// Codes are four-character constants. A message that names a job carries it
// as int32 "job_id"; a client names itself by its team id as int32
// "client_id". The fields of each message are listed beside its code.

#include <support/SupportDefs.h>

#include "JobState.h"
#include "JobType.h"

constexpr const char* kServerSignature = "application/x-vnd.morvanesoft-backupserver";
constexpr const char* kBackupSignature = "application/x-vnd.morvanesoft-backup";

// Requests to the server application.
enum : uint32 {
	kMsgAddClient = 'MVAD',          // "client_id"; no answer
	kMsgRemoveClient = 'MVRM',       // "client_id"; no answer
	kMsgJobAdd = 'MVJA',             // the new job record; reply kMsgJobAccepted or
	                                 // kMsgJobRefused
	kMsgJobList = 'MVJL',            // reply: the job index without "user"
	kMsgJobGet = 'MVjg',             // "job_id"; reply: the job record
	kMsgJobSet = 'MVjs',             // "job_id", "job_data" (message)
	kMsgJobEdit = 'MVje',            // "job_id", "edit" int32
	kMsgJobBegin = 'MVbg',           // "job_id": start the job now
	kMsgJobPause = 'MVJP',           // "job_id"; also sent to the job's worker
	kMsgJobContinue = 'MVJC',        // "job_id"; also sent to the job's worker
	kMsgJobDelete = 'MVJD',          // "job_id", "flag" int32 (1: abort only)
	kMsgJobFinished = 'MVJf',        // from a worker: "job_id", "backup_id" []
	kMsgSubscribe = 'MVAB',          // "job_id", "user" messenger
	kMsgLogRead = 'MVLR',            // "path", "index", "subdir"; reply kMsgLogData
	kMsgPasswordCheck = 'mvpc',      // "name" [], "pw" []; reply kMsgPasswordResult
	kMsgVolumeScan = 'mvvs',         // "name", "settings", "id"; broadcast kMsgVolumeData
	kMsgDeleteBackups = 'MVxX',      // "full", "name" []; reply kMsgBackupsDeleted
	kMsgWithdrawQuestion = 'mvar',   // from a worker: "job_id", "title"; broadcast
	kMsgQuestion = 'mvcr',           // from a worker: "job_id", "reply", "title", ...; broadcast
};

// From the report server of the same process: broadcast the nested
// "message" (report news for the clients) to every registered client.
constexpr uint32 kMsgBroadcastReportNews = 'MVrb';

// Requests for the report server looper; the server application passes them
// on unchanged.
enum : uint32 {
	kMsgReportNew = 'rpNW',
	kMsgReportClose = 'rpCL',
	kMsgReportSetPolicy = 'rpDS',
	kMsgReportGetPolicy = 'rpDG',
	kMsgReportGetList = 'rpGL',
	kMsgReportOpen = 'rpOP',
	kMsgReportLine = 'rpTI',
	kMsgReportDelete = 'rpde',
};

// Messages the server sends.
enum : uint32 {
	kMsgJobAccepted = 'MVji',        // reply to kMsgJobAdd: "job_id"
	kMsgJobRefused = 'MVjn',         // reply to kMsgJobAdd: "error" (English)
	kMsgJobInserted = 'MVJI',        // "job_id", "title", "date", "job_type", "jobstatus"
	kMsgJobChanged = 'MVjc',         // as kMsgJobInserted plus "oldjobstatus"
	kMsgJobRemoved = 'MVJR',         // "job_id"
	kMsgJobRecord = 'MVJr',          // to a subscriber: the job record without "user"
	kMsgJobStart = 'MVJS',           // job start, to clients and the worker
	kMsgJobProgress = 'MVJF',        // from a worker to its subscribers
	kMsgLogInserted = 'MVLi',        // a catalogue was added
	kMsgLogRemoved = 'MVLr',         // "name": a catalogue was removed
	kMsgLogData = 'MVLd',            // catalogue entries; also the catalogue list's code
	kMsgPasswordResult = 'mvpr',     // "name" [], "protected" [], "result" []
	kMsgVolumeData = 'mvvd',         // "title" [], "ID" [], "date" [], "id"
	kMsgBackupsDeleted = 'MVrd',     // no fields
};

// Whether a code belongs to the report server.
constexpr bool IsReportRequest(uint32 code)
{
	switch (code) {
		case kMsgReportNew:
		case kMsgReportClose:
		case kMsgReportSetPolicy:
		case kMsgReportGetPolicy:
		case kMsgReportGetList:
		case kMsgReportOpen:
		case kMsgReportLine:
		case kMsgReportDelete:
			return true;
		default:
			return false;
	}
}
