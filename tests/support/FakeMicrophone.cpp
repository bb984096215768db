#include "tests/support/FakeMicrophone.h"

#include <mutex>
#include <set>

namespace {

struct MicrophoneModel {
    const char *name;
    const char *deviceClass;
    bool broken;
};

constexpr MicrophoneModel Models[] = {
    {"Fake Microphone", "sound", false},
    {"Broken Microphone", "sound", true},
    {"Monitor of Fake Speakers", "monitor", false},
};
constexpr int ModelCount = sizeof(Models) / sizeof(Models[0]);

std::mutex pluggedGuard;
bool plugged[ModelCount] = {true, true, true};
std::set<GstDeviceProvider *> following;

bool isPlugged(const MicrophoneModel *model)
{
    std::lock_guard lock(pluggedGuard);
    return plugged[model - Models];
}

#define WITH_OLD_STYLE_CASTS(...)                                                                                      \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wold-style-cast\"")                              \
        __VA_ARGS__ _Pragma("GCC diagnostic pop")

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
    GstElement *tone = gst_element_factory_make("audiotestsrc", nullptr);
    g_object_set(tone, "is-live", TRUE, "wave", 0 /* sine */, nullptr);
    gst_bin_add(GST_BIN(self), tone);
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

struct FakeMicrophoneDevice {
    GstDevice parent;
    const MicrophoneModel *model;
};

struct FakeMicrophoneDeviceClass {
    GstDeviceClass parent_class;
};

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE(FakeMicrophoneDevice, fake_microphone_device, GST_TYPE_DEVICE))

void fake_microphone_device_init(FakeMicrophoneDevice *) {}

GstElement *createMicrophoneElement(GstDevice *device, const gchar *name)
{
    auto *microphone = G_TYPE_CHECK_INSTANCE_CAST(device, fake_microphone_device_get_type(), FakeMicrophoneDevice);
    FakeMicrophoneSrc *self = asMicrophone(g_object_new(fake_microphone_src_get_type(), nullptr));
    self->model = microphone->model;
    if (name)
        gst_object_set_name(GST_OBJECT(self), name);
    return GST_ELEMENT(self);
}

void fake_microphone_device_class_init(FakeMicrophoneDeviceClass *klass)
{
    GST_DEVICE_CLASS(klass)->create_element = createMicrophoneElement;
}

GstDevice *makeDevice(const MicrophoneModel &model)
{
    GstCaps *caps = gst_caps_from_string("audio/x-raw, format=S16LE, layout=interleaved, rate=48000, channels=2");
    GstStructure *properties = gst_structure_new("fakemicrophone", "device.api", G_TYPE_STRING, "fake", "device.class",
                                                 G_TYPE_STRING, model.deviceClass, nullptr);
    auto *device = G_TYPE_CHECK_INSTANCE_CAST(g_object_new(fake_microphone_device_get_type(), "display-name",
                                                           model.name, "caps", caps, "device-class", "Audio/Source",
                                                           "properties", properties, nullptr),
                                              fake_microphone_device_get_type(), FakeMicrophoneDevice);
    device->model = &model;
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return GST_DEVICE(device);
}

// ---- The provider that the device monitor asks

struct FakeMicrophoneProvider {
    GstDeviceProvider parent;
};

struct FakeMicrophoneProviderClass {
    GstDeviceProviderClass parent_class;
};

WITH_OLD_STYLE_CASTS(G_DEFINE_TYPE(FakeMicrophoneProvider, fake_microphone_provider, GST_TYPE_DEVICE_PROVIDER))

void fake_microphone_provider_init(FakeMicrophoneProvider *) {}

GList *probeMicrophones(GstDeviceProvider *)
{
    std::lock_guard lock(pluggedGuard);
    GList *devices = nullptr;
    for (int i = 0; i < ModelCount; ++i) {
        if (plugged[i])
            devices = g_list_append(devices, makeDevice(Models[i]));
    }
    return devices;
}

gboolean startFollowing(GstDeviceProvider *provider)
{
    GList *devices = probeMicrophones(provider);
    for (GList *each = devices; each; each = each->next)
        gst_device_provider_device_add(provider, GST_DEVICE(each->data));
    g_list_free(devices);
    std::lock_guard lock(pluggedGuard);
    following.insert(provider);
    return TRUE;
}

void stopFollowing(GstDeviceProvider *provider)
{
    std::lock_guard lock(pluggedGuard);
    following.erase(provider);
}

void fake_microphone_provider_class_init(FakeMicrophoneProviderClass *klass)
{
    GstDeviceProviderClass *provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = probeMicrophones;
    provider->start = startFollowing;
    provider->stop = stopFollowing;
    gst_device_provider_class_set_static_metadata(provider, "Fake microphones", "Source/Audio",
                                                  "Lists microphones that are not there", "Vantrel");
}

} // namespace

namespace fakemicrophone {

gboolean PluginInit(GstPlugin *plugin)
{
    return gst_device_provider_register(plugin, "fakemicrophoneprovider", GST_RANK_PRIMARY,
                                        fake_microphone_provider_get_type());
}

bool Register()
{
    static const bool registered = gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR,
                                                              "vantrelfakemicrophone", "Microphones that are not there",
                                                              PluginInit, "1.0", "LGPL", "tests", "vantrel", "local");
    return registered;
}

void SetPlugged(const char *name, bool plugIn)
{
    std::set<GstDeviceProvider *> providers;
    int found = -1;
    {
        std::lock_guard lock(pluggedGuard);
        for (int i = 0; i < ModelCount && found < 0; ++i) {
            if (g_str_equal(Models[i].name, name))
                found = i;
        }
        if (found < 0)
            return;
        plugged[found] = plugIn;
        providers = following;
    }
    for (GstDeviceProvider *provider : providers) {
        if (plugIn) {
            gst_device_provider_device_add(provider, makeDevice(Models[found]));
            continue;
        }
        GList *devices = gst_device_provider_get_devices(provider);
        for (GList *each = devices; each; each = each->next) {
            if (G_TYPE_CHECK_INSTANCE_CAST(each->data, fake_microphone_device_get_type(), FakeMicrophoneDevice)
                    ->model == &Models[found])
                gst_device_provider_device_remove(provider, GST_DEVICE(each->data));
        }
        g_list_free_full(devices, gst_object_unref);
    }
}

} // namespace fakemicrophone
