#include "gst/GstStart.h"

#include "gst/GlibQuarkTable.h"
#include "gst/GstRefs.h"

bool StartGStreamer()
{
    KeepFirstQuarkTableReachable();
    GError *raw = nullptr;
    const bool started = gst_init_check(nullptr, nullptr, &raw);
    const gstref::Error error(raw);
    return started;
}
