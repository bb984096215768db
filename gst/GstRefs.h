#pragma once

#include <gst/gst.h>

#include <memory>

// Owning handles for GStreamer and GLib objects, released when they go out of scope.
namespace gstref {

struct ObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct CapsUnref {
    void operator()(GstCaps *caps) const { gst_caps_unref(caps); }
};
struct SampleUnref {
    void operator()(GstSample *sample) const { gst_sample_unref(sample); }
};
struct MessageUnref {
    void operator()(GstMessage *message) const { gst_message_unref(message); }
};
struct ErrorFree {
    void operator()(GError *error) const { g_error_free(error); }
};
struct StringFree {
    void operator()(gchar *text) const { g_free(text); }
};

using Element = std::unique_ptr<GstElement, ObjectUnref>;
using Bus = std::unique_ptr<GstBus, ObjectUnref>;
using Device = std::unique_ptr<GstDevice, ObjectUnref>;
using Caps = std::unique_ptr<GstCaps, CapsUnref>;
using Sample = std::unique_ptr<GstSample, SampleUnref>;
using Message = std::unique_ptr<GstMessage, MessageUnref>;
using Error = std::unique_ptr<GError, ErrorFree>;
using String = std::unique_ptr<gchar, StringFree>;

} // namespace gstref
