// A test-only paste of the clipboard, the way another application makes it, reporting how the
// owner delivered:
//   paste_probe TARGET OUT_FILE [GIVE_UP_AFTER_CHUNKS]
// writes the content to OUT_FILE and prints one JSON line: ok, bytes, incremental (INCR),
// chunks, largest (bytes of the largest chunk). Given a chunk count, it stops reading after
// that many chunks and exits, as a client that gives up or dies mid-way. PASTE_TIME in the
// environment stamps the request with that server time instead of CurrentTime.
#include <cstdio>
#include <cstdlib>

#include <QFile>

#include "SelectionReader.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: paste_probe TARGET OUT_FILE [GIVE_UP_AFTER_CHUNKS]\n");
        return 2;
    }
    SelectionReader reader(nullptr);
    const char* time = std::getenv("PASTE_TIME");
    const auto paste = reader.paste(reader.atom("CLIPBOARD"), reader.atom(argv[1]),
                                    argc > 3 ? std::atoi(argv[3]) : -1,
                                    time ? xcb_timestamp_t(std::strtoul(time, nullptr, 10))
                                         : xcb_timestamp_t(XCB_CURRENT_TIME));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(paste.bytes) != paste.bytes.size()) return 1;
    std::printf(
        "{\"ok\": %s, \"bytes\": %lld, \"incremental\": %s, \"chunks\": %d, "
        "\"largest\": %lld}\n",
        paste.ok ? "true" : "false", (long long)paste.bytes.size(),
        paste.incremental ? "true" : "false", paste.chunks, (long long)paste.largestChunk);
    return 0;
}
