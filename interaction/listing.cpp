// The Listing view (key l): the table's eye positions shown as rotation
// vectors in degrees, each eye's Listing's plane fitted to the page's
// fixation samples. The file's own numbers are kept aside and put back.
#include "interaction/interaction.h"

#include "analysis/analysis.h"
#include "platform/platform.h"
#include "recording/recording.h"
#include "scene/scene.h"

#include <cstring>

namespace {

RecordingTable filePage; // the page as read, while the table holds vectors
bool converted;

void copyRows(RecordingTable& to, const RecordingTable& from) {
    copyRecordingRows(to, from, 0, from.rowCount);
    to.rowCount = from.rowCount;
}

} // namespace

void applyListingView() {
    if (view.showListing == converted) return;
    if (view.showListing) {
        copyRows(filePage, recording);
        fitPagePlanes(filePage, 0, filePage.rowCount, kinematicsSettings, saccadeSettings,
                      listingPlanes);
        convertToRotationDegrees(recording, kinematicsSettings);
    } else {
        copyRows(recording, filePage);
    }
    converted = view.showListing;
    recordingVersion++;
    forgetCurveBlocks();
    forgetKeptPicture();
}

void listingPageRead() {
    converted = false; // the table holds the new page as read
    applyListingView();
}

const RecordingTable& fileNumbers() {
    return converted ? filePage : recording;
}

double nystagmusLambda = NYSTAGMUS_LAMBDA;

void refreshPageNystagmus() {
    refreshPageEvents();
    if (pageNystagmus.found && pageNystagmus.recordingVersion == recordingVersion) return;
    const RecordingTable& page = fileNumbers();
    analysePageNystagmus(page, 0, page.rowCount, nystagmusLambda, pageEvents.events,
                         pageEvents.count, pageNystagmus);
    pageNystagmus.recordingVersion = recordingVersion;
    traceEvent("nystagmus %d", pageNystagmus.quickCount);
}

void refreshPageEvents() {
    if (pageEvents.found && pageEvents.recordingVersion == recordingVersion) return;
    // The file's numbers: the Listing view's vectors would move the saccades.
    const RecordingTable& page = fileNumbers();
    pageEvents.count =
        detectEyeEvents(page, 0, page.rowCount, saccadeSettings, pageEvents.events, MOST_EVENTS);
    pageEvents.recordingVersion = recordingVersion;
    pageEvents.found = true;
    traceEvent("events %d", pageEvents.count);
}
