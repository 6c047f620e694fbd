// The recorded X event stream: whatever the server (or a hostile client) puts in it, the
// interpreter and the key decoder take it without reading outside an item or crashing.
//
// Input: a run of items, each a kind byte, a flags byte (bit 0: byte-swapped; bit 1: a
// window goes away afterwards), a 4-byte client id base, a length byte, then that many
// bytes of the item (requests and events as the wire has them).

#include "FuzzSupport.h"

#include "platform/x11/KeyboardDecoder.h"
#include "platform/x11/RecordInterpreter.h"

#include <vector>

namespace {
constexpr int kXTest = 132;
constexpr int kXInput = 131;
constexpr quint32 kInjector = 0x00a00000;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static KeyboardDecoder* decoder = [] {
        auto* d = new KeyboardDecoder;
        if (!d->setKeymapFromNames("us"))
            std::fprintf(stderr, "no keymap: decoding is not exercised\n");
        return d;
    }();
    decoder->resetTransientState();
    RecordInterpreter interpreter(*decoder, {kXTest, kXInput});
    interpreter.setOwnInjectorIdBase(kInjector);
    interpreter.setKeyboardDevices({2, 3});
    interpreter.setOwnClients({kInjector, 0x00c00000});

    FuzzInput in(data, size);
    while (!in.empty()) {
        RecordItem item;
        item.kind = RecordItem::Kind(in.byte() % 5);
        const uint8_t flags = in.byte();
        item.swapped = flags & 1;
        item.idBase = in.u32();
        // Each item in a buffer of its own, so reading past it is caught.
        const QByteArray body = in.bytes(in.byte());
        std::vector<quint8> buffer(body.begin(), body.end());
        item.data = buffer.empty() ? nullptr : buffer.data();
        item.length = buffer.size();
        const RecordOutcome o = interpreter.feed(item);
        if (o.key)
            FUZZ_CHECK(o.key->text.size() < 64);
        if (flags & 2)
            interpreter.noteWindowGone(in.u32());
    }
    return 0;
}
