#include "viewer/browser/view/ReaderResult.h"

namespace {

ReaderAction Ends(ReaderAction::Report report, int32_t value, int32_t result) {
    ReaderAction a;
    a.report = report;
    a.value = value;
    a.endRun = true;
    a.exitCode = result;
    return a;
}

// The item is dropped, unless the run is already being abandoned.
ReaderAction Drops(bool abortSet, ReaderAction::Report report, int32_t value) {
    ReaderAction a;
    a.report = report;
    a.value = value;
    a.exitCode = 8;
    if (abortSet)
        a.endRun = true;
    else
        a.dropItem = true;
    return a;
}

}  // namespace

ReaderAction DecideReaderResult(int32_t result, bool abortSet) {
    using R = ReaderAction::Report;
    switch (result) {
    case -115:
    case 101:
        return Ends(R::MainWindowText, 61616, result);
    case 100:
        return Ends(R::MainWindowText, 61667, result);
    case -99:
        return Drops(abortSet, R::None, 0);
    case 8:
        return abortSet ? Drops(true, R::LibraryResult, 2) : Drops(false, R::None, 0);
    // The picture is there but its thumbnail cannot be made (damaged, unreadable,
    // a clip the library does not decode): it keeps its place, the run goes on.
    case 2: case 3: case 4: case 5: case 7: case 9: case 10: {
        ReaderAction a;
        a.placeholder = true;
        a.exitCode = result;
        return a;
    }
    // The card changed under the run (the source check also consumed the change,
    // so the main frame's timer will not see it): the items no longer match the
    // names, so the run ends and the view reads the target again.
    case 104: case 105: case 106:
        return Ends(R::TargetChanged, result, result);
    case 1:
        return Ends(R::LibraryResult, 1, result);
    case 6:
        return Ends(R::LibraryResult, 4, result);
    default:
        return Ends(R::Error, result, result);
    }
}

int32_t MissingPictureResult(int32_t sourceCheck) { return sourceCheck == 0 ? -99 : sourceCheck; }

bool IsSlowRead(int32_t pictureWidth, int32_t pictureHeight, bool buildFromPicture, bool movie) {
    return movie || (buildFromPicture && (pictureWidth >= 128 || pictureHeight >= 128));
}
