#pragma once
// Result codes of the picture sources: 0 success, -88..-120 failures of the
// sources (-121..-128 belong to the transfer, catalog, print-order and job code),
// 100..107 statuses of the periodic target check. A code becomes a language
// message id only where it is shown.
#include <cstdint>

using JqIfMngResult = int32_t;

enum : JqIfMngResult {
    JqIfMngResult_NoError = 0,
    JqIfMngResult_UploadRefused = -88,
    JqIfMngResult_UploadFailed = -89,
    JqIfMngResult_WriteProtected = -90,
    JqIfMngResult_SaveFailed = -91,
    JqIfMngResult_NoMedium = -92,
    JqIfMngResult_ViewerFailure1 = -93,
    JqIfMngResult_ViewerFailure2 = -94,
    JqIfMngResult_ViewerFailure3 = -95,
    JqIfMngResult_Cancelled = -96,
    JqIfMngResult_AttributeFailed1 = -97,
    JqIfMngResult_AttributeFailed2 = -98,
    JqIfMngResult_NotFound = -99,
    JqIfMngResult_Code100 = -100,
    JqIfMngResult_FolderNotFound = -101,
    JqIfMngResult_FormatFailed = -102,
    JqIfMngResult_Code103 = -103,
    JqIfMngResult_NeedsCard = -104,
    JqIfMngResult_NoPictures = -105,
    JqIfMngResult_Code106 = -106,
    JqIfMngResult_Code107 = -107,
    JqIfMngResult_Code108 = -108,
    JqIfMngResult_Module141 = -109,
    JqIfMngResult_Module135 = -110,
    JqIfMngResult_NoAnswer = -111,
    JqIfMngResult_EmptyFolder = -112,
    JqIfMngResult_ModuleMinus116 = -113,
    JqIfMngResult_Failed = -114,
    JqIfMngResult_ConnectionLost = -115,
    JqIfMngResult_ModuleMinus235 = -116,
    JqIfMngResult_FewResources = -117,
    JqIfMngResult_NoMemory = -118,
    JqIfMngResult_ModuleMinus253 = -119,
    JqIfMngResult_ModuleNotLoaded = -120,

    // Statuses of the target check.
    JqIfMngResult_StatusNoPower = 100,
    JqIfMngResult_StatusNoCard = 101,
    JqIfMngResult_Status102 = 102,
    JqIfMngResult_StatusNotOurs = 103,
    JqIfMngResult_StatusFilesChanged = 104,
    JqIfMngResult_StatusFoldersChanged = 105,
    JqIfMngResult_StatusBothChanged = 106,
    JqIfMngResult_StatusCannotShow = 107,
};

// Message id of a code; codes without a message come back unchanged (0 stays 0).
// -99 has two messages: 61648 when secondForm is non-zero, else 61643.
int32_t GetErrorStringID(int32_t code, int32_t secondForm);

// As above with the second form, but every code without a message becomes the
// general-failure message 61602; 0 stays 0.
int32_t NormalizeErrorStringID(int32_t code);
