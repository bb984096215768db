#include "tests/support/FakeCamera.h"

#include <gst/video/colorbalance.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>

namespace {

struct FakeCameraSrc;

std::mutex aliveGuard;
std::set<FakeCameraSrc *> alive;
std::atomic<bool> camerasHang{false};

struct CameraModel {
    const char *name;
    const char *path;
    const char *serial; // as udev makes it up from vendor and model when the camera has no serial number
    const char *caps;
    bool pictureControls;
};

// Large sizes come faster as JPEG than as raw pixels, as on most USB cameras.
constexpr const char *UsbCameraCaps = "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1; "
                                      "video/x-raw, format=YUY2, width=1280, height=720, framerate={ 10/1, 5/1 }; "
                                      "image/jpeg, width=1280, height=720, framerate=[ 1/1, 30/1 ]";

constexpr CameraModel Models[] = {
    {"Fake Camera", "/dev/video-fake0", "Fakes_Fake_Camera_0001",
     "video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
     "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1; "
     "image/jpeg, width=1280, height=720, framerate=30/1; "
     "image/jpeg, width=1920, height=1080, framerate=30/1",
     true},
    {"Fake MJPEG Camera", "/dev/video-fake1", "Fakes_Fake_MJPEG_Camera",
     "image/jpeg, width=640, height=480, framerate=30/1; image/jpeg, width=1280, height=720, framerate=30/1", false},
    {"Fake USB Camera", "/dev/video-fake2", "Fakes_Fake_USB_Camera", UsbCameraCaps, false},
    {"Fake USB Camera", "/dev/video-fake3", "Fakes_Fake_USB_Camera", UsbCameraCaps, false},
};
constexpr int ModelCount = sizeof(Models) / sizeof(Models[0]);

// Sound sources as a sound server lists them; device.class "monitor" is what the speakers play.
struct MicrophoneModel {
    const char *name;
    const char *path;
    const char *deviceClass;
    bool broken; // its element fails to start, as a microphone another program holds
};

constexpr MicrophoneModel Microphones[] = {
    {"Fake Microphone", "fake-microphone0", "sound", false},
    {"Broken Microphone", "fake-microphone1", "sound", true},
    {"Monitor of Fake Speakers", "fake-microphone2", "monitor", false},
};
constexpr int MicrophoneCount = sizeof(Microphones) / sizeof(Microphones[0]);

// Which devices are plugged in now (the USB cameras not at start), and the providers that follow them.
std::mutex pluggedGuard;
bool plugged[ModelCount] = {true, true, false, false};
bool microphonePlugged[MicrophoneCount] = {true, true, true};
std::set<GstDeviceProvider *> following;

bool isPlugged(const MicrophoneModel *model)
{
    std::lock_guard lock(pluggedGuard);
    return microphonePlugged[model - Microphones];
}

// ---- The camera's element: videotestsrc ! [videobalance] ! raw ! [jpegenc] ! offered

struct FakeCameraSrc {
    GstBin parent;
    GstElement *pattern; // the moving picture
    GstElement *balance; // the picture controls, or null
    GstElement *raw;     // the pixel format the pattern is drawn in
    GstElement *offered; // the camera's own formats
    const CameraModel *model;
    gboolean hangs;
    gint framesLeft; // frames before the unplug; -1: stays plugged
    gint unplugged;
    gboolean chained;
    const gchar *motionFile; // while this file is there the picture moves, else it stays black
    gint moving;
};

struct FakeCameraSrcClass {
    GstBinClass parent_class;
};

void fake_camera_src_balance_init(GstColorBalanceInterface *iface);

// GLib's type boilerplate casts our init functions C-style.
#define WITH_OLD_STYLE_CASTS(...)                                                                                      \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wold-style-cast\"")                              \
        __VA_ARGS__ _Pragma("GCC diagnostic pop")

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE_WITH_CODE(FakeCameraSrc, fake_camera_src, GST_TYPE_BIN,
                                             G_IMPLEMENT_INTERFACE(GST_TYPE_COLOR_BALANCE,
                                                                   fake_camera_src_balance_init)))

FakeCameraSrc *asCamera(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, fake_camera_src_get_type(), FakeCameraSrc);
}

enum { PropUnplugAfter = 1 };

GstElement *addElement(GstBin *bin, const char *factory)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    gst_bin_add(bin, element);
    return element;
}

// Motion on request: snow while the file is there, black while it is not.
void followMotionFile(FakeCameraSrc *self)
{
    const gint moving = g_file_test(self->motionFile, G_FILE_TEST_EXISTS) ? 1 : 0;
    if (g_atomic_int_exchange(&self->moving, moving) != moving)
        gst_util_set_object_arg(G_OBJECT(self->pattern), "pattern", moving ? "snow" : "black");
}

GstPadProbeReturn passFrame(GstPad *, GstPadProbeInfo *, gpointer data)
{
    FakeCameraSrc *self = asCamera(data);
    if (self->motionFile)
        followMotionFile(self);
    if (g_atomic_int_get(&self->hangs) || g_atomic_int_get(&self->unplugged))
        return GST_PAD_PROBE_DROP;
    if (g_atomic_int_get(&self->framesLeft) < 0)
        return GST_PAD_PROBE_OK;
    if (g_atomic_int_add(&self->framesLeft, -1) > 0)
        return GST_PAD_PROBE_OK;
    g_atomic_int_set(&self->unplugged, 1);
    GST_ELEMENT_ERROR(self, RESOURCE, READ, ("Could not read from resource."), ("The camera was unplugged."));
    return GST_PAD_PROBE_DROP;
}

void fake_camera_src_init(FakeCameraSrc *self)
{
    GstBin *bin = GST_BIN(self);
    self->pattern = addElement(bin, "videotestsrc");
    g_object_set(self->pattern, "is-live", TRUE, "horizontal-speed", 4, nullptr);
    self->raw = addElement(bin, "capsfilter");
    self->offered = addElement(bin, "capsfilter");
    self->framesLeft = -1;
    self->hangs = camerasHang;

    GstPad *inner = gst_element_get_static_pad(self->offered, "src");
    gst_element_add_pad(GST_ELEMENT(self), gst_ghost_pad_new("src", inner));
    gst_pad_add_probe(inner, GST_PAD_PROBE_TYPE_BUFFER, passFrame, self, nullptr);
    gst_object_unref(inner);
    std::lock_guard lock(aliveGuard);
    alive.insert(self);
}

// The camera sends JPEG when the pipeline after it asks for JPEG.
bool downstreamWantsJpeg(FakeCameraSrc *self)
{
    GstPad *pad = gst_element_get_static_pad(GST_ELEMENT(self), "src");
    GstCaps *offered = nullptr;
    g_object_get(self->offered, "caps", &offered, nullptr);
    GstCaps *wanted = gst_pad_peer_query_caps(pad, offered);
    const bool jpeg =
        wanted && !gst_caps_is_empty(wanted) && gst_structure_has_name(gst_caps_get_structure(wanted, 0), "image/jpeg");
    gst_caps_unref(wanted);
    gst_caps_unref(offered);
    gst_object_unref(pad);
    return jpeg;
}

void finishChain(FakeCameraSrc *self)
{
    if (self->chained)
        return;
    self->chained = TRUE;
    const bool jpeg = downstreamWantsJpeg(self);
    GstCaps *drawn = gst_caps_from_string(jpeg ? "video/x-raw, format=I420" : "video/x-raw, format=YUY2");
    g_object_set(self->raw, "caps", drawn, nullptr);
    gst_caps_unref(drawn);
    if (self->balance)
        gst_element_link_many(self->pattern, self->balance, self->raw, nullptr);
    else
        gst_element_link(self->pattern, self->raw);
    if (!jpeg) {
        gst_element_link(self->raw, self->offered);
        return;
    }
    GstElement *encoder = addElement(GST_BIN(self), "jpegenc");
    gst_element_link_many(self->raw, encoder, self->offered, nullptr);
}

GstStateChangeReturn fake_camera_src_change_state(GstElement *element, GstStateChange transition)
{
    if (transition == GST_STATE_CHANGE_NULL_TO_READY)
        finishChain(asCamera(element));
    return GST_ELEMENT_CLASS(fake_camera_src_parent_class)->change_state(element, transition);
}

void fake_camera_src_finalize(GObject *object)
{
    {
        std::lock_guard lock(aliveGuard);
        alive.erase(asCamera(object));
    }
    G_OBJECT_CLASS(fake_camera_src_parent_class)->finalize(object);
}

void fake_camera_src_set_property(GObject *object, guint id, const GValue *value, GParamSpec *param)
{
    if (id == PropUnplugAfter)
        g_atomic_int_set(&asCamera(object)->framesLeft, g_value_get_int(value));
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
}

void fake_camera_src_get_property(GObject *object, guint id, GValue *value, GParamSpec *param)
{
    if (id == PropUnplugAfter)
        g_value_set_int(value, g_atomic_int_get(&asCamera(object)->framesLeft));
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
}

void fake_camera_src_class_init(FakeCameraSrcClass *klass)
{
    GObjectClass *objects = G_OBJECT_CLASS(klass);
    objects->finalize = fake_camera_src_finalize;
    objects->set_property = fake_camera_src_set_property;
    objects->get_property = fake_camera_src_get_property;
    g_object_class_install_property(
        objects, PropUnplugAfter,
        g_param_spec_int("unplug-after", "Unplug after", "Frames still sent before the camera is unplugged (-1: never)",
                         -1, G_MAXINT, -1, static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    GST_ELEMENT_CLASS(klass)->change_state = fake_camera_src_change_state;
}

// A camera with picture controls hands them to its videobalance; one without has no channels.
GstColorBalance *balanceOf(GstColorBalance *camera)
{
    GstElement *balance = asCamera(camera)->balance;
    return balance ? GST_COLOR_BALANCE(balance) : nullptr;
}

const GList *listChannels(GstColorBalance *camera)
{
    GstColorBalance *balance = balanceOf(camera);
    return balance ? gst_color_balance_list_channels(balance) : nullptr;
}

void setChannel(GstColorBalance *camera, GstColorBalanceChannel *channel, gint value)
{
    if (GstColorBalance *balance = balanceOf(camera))
        gst_color_balance_set_value(balance, channel, value);
}

gint getChannel(GstColorBalance *camera, GstColorBalanceChannel *channel)
{
    GstColorBalance *balance = balanceOf(camera);
    return balance ? gst_color_balance_get_value(balance, channel) : 0;
}

GstColorBalanceType balanceType(GstColorBalance *) { return GST_COLOR_BALANCE_HARDWARE; }

void fake_camera_src_balance_init(GstColorBalanceInterface *iface)
{
    iface->list_channels = listChannels;
    iface->set_value = setChannel;
    iface->get_value = getChannel;
    iface->get_balance_type = balanceType;
}

GstElement *makeCameraElement(const CameraModel &model, const gchar *name)
{
    FakeCameraSrc *self = asCamera(g_object_new(fake_camera_src_get_type(), nullptr));
    self->model = &model;
    if (name)
        gst_object_set_name(GST_OBJECT(self), name);
    GstCaps *offered = gst_caps_from_string(model.caps);
    g_object_set(self->offered, "caps", offered, nullptr);
    gst_caps_unref(offered);
    if (model.pictureControls)
        self->balance = addElement(GST_BIN(self), "videobalance");
    // For a look at an unplug in the program: the first element made unplugs after that many frames.
    static std::atomic<bool> first{true};
    if (const gchar *frames = g_getenv("FAKE_CAMERA_UNPLUG_AFTER"); frames && first.exchange(false))
        self->framesLeft = static_cast<gint>(g_ascii_strtoll(frames, nullptr, 10));
    if ((self->motionFile = g_getenv("FAKE_CAMERA_MOTION_FILE"))) {
        gst_util_set_object_arg(G_OBJECT(self->pattern), "pattern", "black");
        self->moving = 0;
    }
    return GST_ELEMENT(self);
}

// ---- The microphone's element: a live sine tone in a bin

struct FakeMicrophoneSrc {
    GstBin parent;
    const MicrophoneModel *model;
    gint unplugged;
};

struct FakeMicrophoneSrcClass {
    GstBinClass parent_class;
};

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE(FakeMicrophoneSrc, fake_microphone_src, GST_TYPE_BIN))

FakeMicrophoneSrc *asMicrophone(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, fake_microphone_src_get_type(), FakeMicrophoneSrc);
}

GstPadProbeReturn passSound(GstPad *, GstPadProbeInfo *, gpointer data)
{
    FakeMicrophoneSrc *self = asMicrophone(data);
    if (isPlugged(self->model))
        return GST_PAD_PROBE_OK;
    if (!g_atomic_int_exchange(&self->unplugged, 1))
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("Could not read from resource."), ("The microphone was unplugged."));
    return GST_PAD_PROBE_DROP;
}

void fake_microphone_src_init(FakeMicrophoneSrc *self)
{
    GstElement *tone = addElement(GST_BIN(self), "audiotestsrc");
    g_object_set(tone, "is-live", TRUE, "wave", 0 /* sine */, nullptr);
    GstPad *inner = gst_element_get_static_pad(tone, "src");
    gst_element_add_pad(GST_ELEMENT(self), gst_ghost_pad_new("src", inner));
    gst_pad_add_probe(inner, GST_PAD_PROBE_TYPE_BUFFER, passSound, self, nullptr);
    gst_object_unref(inner);
}

GstStateChangeReturn fake_microphone_src_change_state(GstElement *element, GstStateChange transition)
{
    FakeMicrophoneSrc *self = asMicrophone(element);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && (self->model->broken || !isPlugged(self->model))) {
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("Could not open audio device for recording."),
                          ("The fake microphone refuses to start."));
        return GST_STATE_CHANGE_FAILURE;
    }
    return GST_ELEMENT_CLASS(fake_microphone_src_parent_class)->change_state(element, transition);
}

void fake_microphone_src_class_init(FakeMicrophoneSrcClass *klass)
{
    GST_ELEMENT_CLASS(klass)->change_state = fake_microphone_src_change_state;
}

// ---- The device the monitor lists

struct FakeCameraDevice {
    GstDevice parent;
    const CameraModel *model;
    const MicrophoneModel *microphone; // instead of a camera
};

struct FakeCameraDeviceClass {
    GstDeviceClass parent_class;
};

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE(FakeCameraDevice, fake_camera_device, GST_TYPE_DEVICE))

void fake_camera_device_init(FakeCameraDevice *) {}

GstElement *createCameraElement(GstDevice *device, const gchar *name)
{
    auto *fake = G_TYPE_CHECK_INSTANCE_CAST(device, fake_camera_device_get_type(), FakeCameraDevice);
    if (fake->model)
        return makeCameraElement(*fake->model, name);
    FakeMicrophoneSrc *microphone = asMicrophone(g_object_new(fake_microphone_src_get_type(), nullptr));
    microphone->model = fake->microphone;
    if (name)
        gst_object_set_name(GST_OBJECT(microphone), name);
    return GST_ELEMENT(microphone);
}

void fake_camera_device_class_init(FakeCameraDeviceClass *klass)
{
    GST_DEVICE_CLASS(klass)->create_element = createCameraElement;
}

// Takes the caps and properties.
FakeCameraDevice *newDevice(const char *name, GstCaps *caps, const char *deviceClass, GstStructure *properties)
{
    auto *device =
        G_TYPE_CHECK_INSTANCE_CAST(g_object_new(fake_camera_device_get_type(), "display-name", name, "caps", caps,
                                                "device-class", deviceClass, "properties", properties, nullptr),
                                   fake_camera_device_get_type(), FakeCameraDevice);
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return device;
}

GstDevice *makeDevice(const CameraModel &model)
{
    GstStructure *properties = gst_structure_new(
        "v4l2deviceprovider", "device.api", G_TYPE_STRING, "v4l2", "device.path", G_TYPE_STRING, model.path,
        "device.serial", G_TYPE_STRING, model.serial, "v4l2.device.driver", G_TYPE_STRING, "fakecam",
        "v4l2.device.card", G_TYPE_STRING, model.name, "v4l2.device.version", G_TYPE_UINT, 0x060101u, nullptr);
    FakeCameraDevice *device = newDevice(model.name, gst_caps_from_string(model.caps), "Video/Source", properties);
    device->model = &model;
    return GST_DEVICE(device);
}

GstDevice *makeDevice(const MicrophoneModel &model)
{
    GstStructure *properties =
        gst_structure_new("fakemicrophone", "device.api", G_TYPE_STRING, "fake", "device.path", G_TYPE_STRING,
                          model.path, "device.class", G_TYPE_STRING, model.deviceClass, nullptr);
    GstCaps *caps = gst_caps_from_string("audio/x-raw, format=S16LE, layout=interleaved, rate=48000, channels=2");
    FakeCameraDevice *device = newDevice(model.name, caps, "Audio/Source", properties);
    device->microphone = &model;
    return GST_DEVICE(device);
}

// ---- The provider that the device monitor asks

struct FakeCameraProvider {
    GstDeviceProvider parent;
};

struct FakeCameraProviderClass {
    GstDeviceProviderClass parent_class;
};

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE(FakeCameraProvider, fake_camera_provider, GST_TYPE_DEVICE_PROVIDER))

void fake_camera_provider_init(FakeCameraProvider *) {}

template <class Model, size_t Count> GList *pluggedDevices(const Model (&models)[Count], const bool (&in)[Count])
{
    std::lock_guard lock(pluggedGuard);
    GList *devices = nullptr;
    for (size_t i = 0; i < Count; ++i) {
        if (in[i])
            devices = g_list_append(devices, makeDevice(models[i]));
    }
    return devices;
}

GList *probeCameras(GstDeviceProvider *) { return pluggedDevices(Models, plugged); }

// The microphones have a provider of their own: a device monitor takes a provider's messages
// for itself, and the program follows cameras and microphones with two monitors.
struct FakeMicrophoneProvider {
    FakeCameraProvider parent;
};

struct FakeMicrophoneProviderClass {
    FakeCameraProviderClass parent_class;
};

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE(FakeMicrophoneProvider, fake_microphone_provider, fake_camera_provider_get_type()))

void fake_microphone_provider_init(FakeMicrophoneProvider *) {}

bool listsMicrophones(GstDeviceProvider *provider)
{
    return G_TYPE_CHECK_INSTANCE_TYPE(provider, fake_microphone_provider_get_type());
}

GList *probeMicrophones(GstDeviceProvider *) { return pluggedDevices(Microphones, microphonePlugged); }

void fake_microphone_provider_class_init(FakeMicrophoneProviderClass *klass)
{
    GstDeviceProviderClass *provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = probeMicrophones;
    gst_device_provider_class_set_static_metadata(provider, "Fake microphones", "Source/Audio",
                                                  "Lists microphones that are not there", "Vantrel");
}

// A started provider follows plugging: it lists what is plugged in now and announces changes.
gboolean startFollowing(GstDeviceProvider *provider)
{
    GList *devices = GST_DEVICE_PROVIDER_GET_CLASS(provider)->probe(provider);
    for (GList *each = devices; each; each = each->next)
        gst_device_provider_device_add(provider, GST_DEVICE(each->data));
    g_list_free(devices);
    std::lock_guard lock(pluggedGuard);
    following.insert(provider);
    // For a look at a camera plugged in while the program runs.
    static std::once_flag plugLater;
    if (const gchar *seconds = g_getenv("FAKE_CAMERA_PLUG_IN_AFTER"))
        std::call_once(plugLater, [after = std::chrono::seconds(g_ascii_strtoll(seconds, nullptr, 10))] {
            std::thread([after] {
                std::this_thread::sleep_for(after);
                fakecamera::SetPlugged("Fake USB Camera", true);
            }).detach();
        });
    return TRUE;
}

void stopFollowing(GstDeviceProvider *provider)
{
    std::lock_guard lock(pluggedGuard);
    following.erase(provider);
}

// Tells the providers of a camera or microphone plugged in or pulled out.
template <class Model> void announce(const std::set<GstDeviceProvider *> &providers, const Model &model, bool plugIn)
{
    for (GstDeviceProvider *provider : providers) {
        if (listsMicrophones(provider) != std::is_same_v<Model, MicrophoneModel>)
            continue;
        if (plugIn) {
            gst_device_provider_device_add(provider, makeDevice(model));
            continue;
        }
        GList *devices = gst_device_provider_get_devices(provider);
        for (GList *each = devices; each; each = each->next) {
            GstStructure *properties = gst_device_get_properties(GST_DEVICE(each->data));
            if (g_str_equal(gst_structure_get_string(properties, "device.path"), model.path))
                gst_device_provider_device_remove(provider, GST_DEVICE(each->data));
            gst_structure_free(properties);
        }
        g_list_free_full(devices, gst_object_unref);
    }
}

void fake_camera_provider_class_init(FakeCameraProviderClass *klass)
{
    GstDeviceProviderClass *provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = probeCameras;
    provider->start = startFollowing;
    provider->stop = stopFollowing;
    gst_device_provider_class_set_static_metadata(provider, "Fake cameras", "Source/Video",
                                                  "Lists cameras that are not there", "Vantrel");
}

} // namespace

namespace fakecamera {

gboolean PluginInit(GstPlugin *plugin)
{
    return gst_device_provider_register(plugin, "fakecameraprovider", GST_RANK_PRIMARY,
                                        fake_camera_provider_get_type()) &&
           gst_device_provider_register(plugin, "fakemicrophoneprovider", GST_RANK_PRIMARY,
                                        fake_microphone_provider_get_type());
}

bool Register()
{
    static const bool registered = gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "vantrelfakecamera",
                                                              "Cameras that are not there", PluginInit, "1.0", "LGPL",
                                                              "tests", "vantrel", "local");
    return registered;
}

int ElementsAlive()
{
    std::lock_guard lock(aliveGuard);
    return static_cast<int>(alive.size());
}

void UnplugAll(int afterFrames)
{
    std::lock_guard lock(aliveGuard);
    for (FakeCameraSrc *each : alive)
        g_atomic_int_set(&each->framesLeft, afterFrames);
}

void SetHung(bool hung) { camerasHang = hung; }

void HangAll()
{
    std::lock_guard lock(aliveGuard);
    for (FakeCameraSrc *each : alive)
        g_atomic_int_set(&each->hangs, TRUE);
}

void SetPlugged(const char *nameOrPath, bool plugIn)
{
    std::set<GstDeviceProvider *> providers;
    const CameraModel *model = nullptr;
    {
        std::lock_guard lock(pluggedGuard);
        for (int i = 0; i < ModelCount && !model; ++i) {
            if (g_str_equal(Models[i].name, nameOrPath) || g_str_equal(Models[i].path, nameOrPath)) {
                model = &Models[i];
                plugged[i] = plugIn;
            }
        }
        providers = following;
    }
    if (!model)
        return;
    if (!plugIn) { // its running elements fail as a camera pulled out does
        std::lock_guard lock(aliveGuard);
        for (FakeCameraSrc *each : alive) {
            if (each->model == model)
                g_atomic_int_set(&each->framesLeft, 0);
        }
    }
    announce(providers, *model, plugIn);
}

} // namespace fakecamera

namespace fakemicrophone {

void SetPlugged(const char *name, bool plugIn)
{
    std::set<GstDeviceProvider *> providers;
    const MicrophoneModel *model = nullptr;
    {
        std::lock_guard lock(pluggedGuard);
        for (int i = 0; i < MicrophoneCount && !model; ++i) {
            if (g_str_equal(Microphones[i].name, name)) {
                model = &Microphones[i];
                microphonePlugged[i] = plugIn;
            }
        }
        providers = following;
    }
    if (model)
        announce(providers, *model, plugIn);
}

} // namespace fakemicrophone
