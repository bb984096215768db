// The yardstick for the RTSP benchmark: a plain gst-rtsp-server that encodes its own test
// pattern for all clients (shared media), as its examples do.
// Usage: RtspPeer <port> "<launch line in parentheses>"
#include <gst/gst.h>

#pragma push_macro("signals")
#undef signals
#include <gst/rtsp-server/rtsp-server.h>
#pragma pop_macro("signals")

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: RtspPeer <port> \"( launch line )\"\n");
        return 2;
    }
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    GstRTSPServer *server = gst_rtsp_server_new();
    gst_rtsp_server_set_service(server, argv[1]);
    GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, argv[2]);
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(server);
    gst_rtsp_mount_points_add_factory(mounts, "/live", factory);
    g_object_unref(mounts);
    if (gst_rtsp_server_attach(server, nullptr) == 0) {
        std::fprintf(stderr, "cannot listen on port %s\n", argv[1]);
        return 1;
    }
    std::printf("serving on %s\n", argv[1]);
    std::fflush(stdout);
    g_main_loop_run(loop);
    return 0;
}
