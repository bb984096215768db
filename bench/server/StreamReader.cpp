// Reads an MJPEG stream on many connections at once and counts each connection's frames
// (parts with a Content-Length), for the stream benchmark. One thread, epoll, small: it must
// not eat the machine the server runs on.
// Usage: StreamReader <port> <connections> <seconds> [request]
// Without a request nothing is sent (a server that starts streaming on connect). Prints
// "fps min <m> median <x> frames <total> connections <open>/<asked> first <ms>", frames per
// second per connection over the measured seconds, after one second of warming up, and the
// longest any connection waited for its first picture from the moment the first connected.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Viewer {
    int handle = -1;
    std::string header;     // the header block being read
    long long bodyLeft = 0; // bytes of the current picture still to skip
    long long frames = 0;
    long long framesAtStart = 0;
    Clock::time_point firstPicture{};
    bool open = true;
};

int connectTo(int port)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (handle < 0 || ::connect(handle, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    return handle;
}

// Header blocks end in an empty line; a block with a Content-Length starts a picture.
void take(Viewer &viewer, const char *data, size_t size)
{
    while (size > 0) {
        if (viewer.bodyLeft > 0) {
            const size_t skip = std::min<size_t>(size, static_cast<size_t>(viewer.bodyLeft));
            viewer.bodyLeft -= static_cast<long long>(skip);
            data += skip;
            size -= skip;
            if (viewer.bodyLeft == 0 && viewer.frames++ == 0)
                viewer.firstPicture = Clock::now();
            continue;
        }
        viewer.header.push_back(*data++);
        --size;
        const size_t length = viewer.header.size();
        if (length < 4 || viewer.header.compare(length - 4, 4, "\r\n\r\n") != 0)
            continue;
        const size_t at = viewer.header.find("Content-Length:");
        if (at != std::string::npos)
            viewer.bodyLeft = std::atoll(viewer.header.c_str() + at + 15);
        viewer.header.clear();
    }
}

// Reads whatever has arrived, waiting up to timeoutMs for something.
void pump(int poller, std::vector<Viewer> &viewers, int timeoutMs)
{
    static epoll_event events[256];
    static char buffer[1 << 16];
    const int ready = ::epoll_wait(poller, events, 256, timeoutMs);
    for (int e = 0; e < ready; ++e) {
        Viewer &viewer = viewers[events[e].data.u32];
        const ssize_t got = ::recv(viewer.handle, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            take(viewer, buffer, static_cast<size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            viewer.open = false;
            ::epoll_ctl(poller, EPOLL_CTL_DEL, viewer.handle, nullptr);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: StreamReader <port> <connections> <seconds> [request]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const int seconds = std::atoi(argv[3]);
    const std::string request = argc > 4 ? std::string(argv[4]) + "\r\n\r\n" : std::string();

    const int poller = ::epoll_create1(0);
    const auto connecting = Clock::now();
    std::vector<Viewer> viewers(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        Viewer &viewer = viewers[static_cast<size_t>(n)];
        viewer.handle = connectTo(port);
        if (!request.empty() && ::send(viewer.handle, request.data(), request.size(), MSG_NOSIGNAL) < 0)
            std::perror("send");
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = static_cast<uint32_t>(n);
        ::epoll_ctl(poller, EPOLL_CTL_ADD, viewer.handle, &event);
        // The first viewers are read while the others connect, as a player would.
        pump(poller, viewers, 0);
    }

    const auto start = Clock::now() + std::chrono::seconds(1);
    const auto end = start + std::chrono::seconds(seconds);
    bool counting = false;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (!counting && now >= start) {
            counting = true;
            for (Viewer &viewer : viewers)
                viewer.framesAtStart = viewer.frames;
        }
        pump(poller, viewers, 50);
    }

    std::vector<double> fps;
    long long total = 0;
    int open = 0;
    long long slowestFirst = 0;
    for (const Viewer &viewer : viewers) {
        const auto waited = viewer.frames > 0 ? viewer.firstPicture - connecting : Clock::now() - connecting;
        slowestFirst =
            std::max<long long>(slowestFirst, std::chrono::duration_cast<std::chrono::milliseconds>(waited).count());
        fps.push_back(static_cast<double>(viewer.frames - viewer.framesAtStart) / seconds);
        total += viewer.frames - viewer.framesAtStart;
        open += viewer.open ? 1 : 0;
        ::close(viewer.handle);
    }
    std::sort(fps.begin(), fps.end());
    std::printf("fps min %.1f median %.1f frames %lld connections %d/%d first %lld ms\n", fps.front(),
                fps[fps.size() / 2], total, open, count, slowestFirst);
    return 0;
}
