#pragma once

#include "gst/GstRefs.h"

#include <QString>

#include <chrono>

// Making pipelines, reading their errors and taking them down.
namespace pipelines {

// A pipeline made from launch text ("a ! b ! c"), its floating reference taken; null with
// GStreamer's words in `failure` when it cannot be made (a missing element, a bad property
// counts too).
gstref::Element FromText(const QString &launch, QString &failure);
// A bin made from launch text, its unlinked pads ghosted; null as above.
gstref::Element BinFromText(const QString &description, QString &failure);
// The element of that name inside a bin (a reference of its own), or null.
gstref::Element Child(GstElement *bin, const char *name);

// The words of an error message ("error" when it has none), and its details (may be empty).
QString ErrorText(GstMessage *error);
QString ErrorDetails(GstMessage *error);
// The top-level pipeline the message's element sits in (a reference of its own), or null.
gstref::Element PipelineOf(GstMessage *message);

// Takes a pipeline down on GStreamer's own thread pool: stopping joins its threads, which
// must not happen on the thread that asks (the GUI thread, or one of those very threads).
// Its bus handler and the callbacks of its appsinks are cut first, so nothing calls into
// their owners from then on.
void StopLater(gstref::Element pipeline);
// Waits until every pipeline handed to StopLater is down, at most `limit`; false when some
// still are not. For the program's end, after the last consumer and encoder went.
bool WaitForStops(std::chrono::milliseconds limit);
// Pipelines handed to StopLater that are not down yet.
int PendingStops();

} // namespace pipelines
